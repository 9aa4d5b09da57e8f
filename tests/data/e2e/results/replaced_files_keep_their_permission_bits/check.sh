#!/bin/sh
# The new category/weight file keeps the bits of the one it replaced; the new
# value file gets the default of the umask.
set -e
test "$(stat -c %a DATA.FAC)" = 640
test "$(stat -c %a DATA.FAF)" = "$(printf '%o' $((0666 & ~$(umask))))"
