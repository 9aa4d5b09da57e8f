#!/bin/sh
# The data file lies on a small file system that is full but for 0 page(s)
# of 4096 bytes for the result files; the temporary file goes to the case's
# directory (-B.).
mkdir full
if ! mount -t tmpfs -o size=64k tmpfs full 2>/dev/null; then
  rmdir full
  echo "mounting a small file system is not allowed here"
  exit 77
fi
mv DATA.TXT full/
# The results of an earlier run, which the stopped run must leave as they were.
printf "0 16\n1 12\n" > full/DATA.FAC
printf "1\n1\n2\n" > full/DATA.FAF
dd if=/dev/zero of=full/FILL bs=4096 2>/dev/null
truncate -s -0 full/FILL
