#!/bin/sh
# The temporary file's name in the -B directory is a second name of the data
# file: the run says so, and the data stay as they are.
mkdir -p tmp
ln a/DATA.TXT tmp/DATA.BIN
