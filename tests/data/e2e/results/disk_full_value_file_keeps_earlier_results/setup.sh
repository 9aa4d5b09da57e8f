#!/bin/sh
# The data file and the results of an earlier run, which the stopped run
# must leave as they were, on a small full file system.
FREE=0 EARLIER="DATA.FAC DATA.FAF" . "$CASE/../full_file_system.sh"
