#!/bin/sh
# The new file takes the mode bits of the one it replaced.
set -e
test "$(stat -c %a DATA.BIN)" = 640
test "$(stat -c %h DATA.BIN)" = 1
