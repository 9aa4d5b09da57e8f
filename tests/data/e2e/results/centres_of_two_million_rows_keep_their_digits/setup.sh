# Two million rows "1 1", then "0 0" and "3 3": the data and every result
# file go to a directory outside the case's (through the link "big"), since
# the .FAF and .BIN are too large to keep as expected files; check.sh
# compares them and removes the directory.
out=$(mktemp -d "${TMPDIR:-/tmp}/fuzzyart-big-XXXXXX") || exit 1
ln -s "$out" big
awk 'BEGIN { for (i = 0; i < 2000000; i++) print "1 1"; print "0 0"; print "3 3" }' > big/d.dat
