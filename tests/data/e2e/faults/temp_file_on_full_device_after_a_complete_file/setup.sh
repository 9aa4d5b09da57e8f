#!/bin/sh
# The second file's temporary file is a link to a device that refuses every write.
ln -s /dev/full SECOND.BIN
