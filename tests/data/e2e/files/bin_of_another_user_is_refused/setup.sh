#!/bin/sh
# A file that another user made beforehand at the temporary file's name in
# a shared -B directory: its rows must stay unread and its owner unable to
# change those of this run.
mkdir tmp
printf 'rows of another user\n' > tmp/DATA.BIN
if ! chown 1 tmp/DATA.BIN 2>/dev/null || [ "$(stat -c %u tmp/DATA.BIN)" != 1 ]; then
  echo "cannot give a file to another user here"
  exit 77
fi
