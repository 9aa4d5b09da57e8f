#!/bin/sh
# The category/weight file's name is a link to another file, the value
# file's a link to the data file itself: both links are replaced by the new
# results, and neither file they point at is written.
printf 'not to be written\n' > VICTIM
ln -s VICTIM DATA.FAC
ln -s DATA.TXT DATA.FAF
