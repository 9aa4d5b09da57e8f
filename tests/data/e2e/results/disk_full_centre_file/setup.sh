#!/bin/sh
# The data file lies on a small file system that is full but for 1 page(s)
# of 4096 bytes for the result files; the temporary file goes to the case's
# directory (-B.).
mkdir full
if ! mount -t tmpfs -o size=64k tmpfs full 2>/dev/null; then
  rmdir full
  echo "mounting a small file system is not allowed here"
  exit 77
fi
mv DATA.TXT full/
dd if=/dev/zero of=full/FILL bs=4096 2>/dev/null
truncate -s -4096 full/FILL
