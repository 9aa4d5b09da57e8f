#!/bin/sh
# umask 027 (from the shell file): 0666 without it is 640.
set -e
for f in DATA.FAC DATA.FAF DATA.BIN; do
  test "$(stat -c %a $f)" = 640 || { echo "$f has mode $(stat -c %a $f)"; exit 1; }
done
test ! -L DATA.FAF
