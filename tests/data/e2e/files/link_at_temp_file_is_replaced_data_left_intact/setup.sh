#!/bin/sh
# The temporary file's name is a link to the data file: the link is replaced
# by the temporary file, and the data stay as they are.
ln -s d.dat d.BIN
