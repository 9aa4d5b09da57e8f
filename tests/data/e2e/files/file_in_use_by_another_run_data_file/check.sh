#!/bin/sh
# Ends the run that holds the lock.
kill "$(cat holder.pid)"
