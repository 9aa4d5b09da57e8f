#!/bin/sh
# A link at the value file's name (a link's own bits are 777): the new value
# file, like every file with no earlier one, gets 0666 without the umask.
printf 'elsewhere\n' > target.txt
ln -s target.txt DATA.FAF
