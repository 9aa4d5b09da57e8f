#!/bin/sh
# An earlier temporary file of the run's own user, with a second name that
# someone holds: a new file takes the name (so no one who had the old file
# open reaches the new rows), and the second name keeps the old rows.
printf 'earlier rows\n' > DATA.BIN
chmod 640 DATA.BIN
ln DATA.BIN kept.BIN
