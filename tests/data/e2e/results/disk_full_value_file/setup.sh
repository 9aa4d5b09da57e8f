#!/bin/sh
# The value file is a link to a device that refuses every write.
ln -s /dev/full DATA.FAF
