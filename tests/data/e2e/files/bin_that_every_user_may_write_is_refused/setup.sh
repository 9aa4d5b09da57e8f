#!/bin/sh
# The run's own user made the file, but every user may write to it, and any
# of them may hold it open for writing already.
mkdir tmp
printf 'earlier rows\n' > tmp/DATA.BIN
chmod 666 tmp/DATA.BIN
