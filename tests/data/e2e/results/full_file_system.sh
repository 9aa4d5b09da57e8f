# Sourced by the setup of the full-disk cases, with FREE set: the data file
# moves onto a small file system that is then full but for FREE pages of
# 4096 bytes for the result files; the case's check.sh unmounts it. Where
# mounting is not allowed the case is skipped.
mkdir full
if ! mount -t tmpfs -o size=64k tmpfs full 2>/dev/null; then
  rmdir full
  echo "mounting a small file system is not allowed here"
  exit 77
fi
mv DATA.TXT full/
# Earlier results, when the case has them, take their pages first.
for f in $EARLIER; do cp "$f" full/; rm "$f"; done
dd if=/dev/zero of=full/FILL bs=4096 2>/dev/null
truncate -s -$((FREE * 4096)) full/FILL
