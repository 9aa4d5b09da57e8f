#!/bin/sh
# The data file on a small full file system with 0 free page(s) for the
# result files; the temporary file goes to the case's directory (-B.).
FREE=0 . "$CASE/../full_file_system.sh"
