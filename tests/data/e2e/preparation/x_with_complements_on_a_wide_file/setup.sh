# Three rows of 5,000 columns; the third row differs between columns 1 and 5000.
set -e
{
  yes 0 | head -n 5000 | tr '\n' ' '; echo
  yes 10 | head -n 5000 | tr '\n' ' '; echo
  printf '2.5 '; yes 5 | head -n 4998 | tr '\n' ' '; echo 7.5
} > data.txt
