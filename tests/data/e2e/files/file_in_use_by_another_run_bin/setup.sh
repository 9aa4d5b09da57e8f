#!/bin/sh
# Another run, on a data file of the same name elsewhere with the same -B
# directory, holds the lock of the temporary file until check.sh ends it; its
# records must stay as they are.
mkdir tmp
printf 'records of the other run\n' > tmp/DATA.BIN
flock -n tmp/DATA.BIN sh -c 'echo $$ > holder.pid; exec sleep 600' </dev/null >/dev/null 2>&1 &
while [ ! -s holder.pid ]; do sleep 0.01; done
