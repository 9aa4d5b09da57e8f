# Scaled, a row "1 1" is a = 1/3 in single precision; with -M -V0.7 the rows
# make three categories: the two million rows (their weights stay a, a, 1-a,
# 1-a), "0 0" and "3 3", each rejected by the categories before it (match
# 1-a and a, both below 0.7). The centre of the first is the mean of two
# million values a, exact in double, so 3 * a in data units, "1" in six
# digits (a sum in single precision drifts to 0.995467). The .FAC holds the
# same values.
out=$(readlink big)
status=0
expected=$(printf '1            1            \n0            0            \n3            3            ')
[ "$(cat big/d.BKC)" = "$expected" ] || { echo "d.BKC differs"; status=1; }
[ "$(cat big/d.FAC)" = "$expected" ] || { echo "d.FAC differs"; status=1; }
awk 'BEGIN { for (i = 0; i < 2000000; i++) print 1; print 2; print 3 }' | cmp -s - big/d.FAF || { echo "d.FAF differs"; status=1; }
# 2000002 records of 4 floats; the last two are 0 0 1 1 and 1 1 0 0.
[ "$(wc -c < big/d.BIN)" -eq 32000032 ] || { echo "d.BIN has another size"; status=1; }
[ "$(tail -c 32 big/d.BIN | od -A n -t x1 | tr -d ' \n')" = \
  "00000000000000000000803f0000803f0000803f0000803f0000000000000000" ] || { echo "d.BIN ends otherwise"; status=1; }
[ "$(ls -A big | tr '\n' ' ')" = "d.BIN d.BKC d.FAC d.FAF d.dat " ] || { echo "other files: $(ls -A big)"; status=1; }
rm -rf "$out"
exit $status
