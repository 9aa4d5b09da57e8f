#!/bin/sh
# A named pipe where the temporary file goes: only a regular file can be
# the temporary file, so the run stops before it writes anything there.
mkfifo DATA.BIN
