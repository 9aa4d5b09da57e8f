#!/bin/sh
# An earlier category/weight file that only its owner and group may read; no
# value file yet.
printf 'earlier\n' > DATA.FAC
chmod 640 DATA.FAC
