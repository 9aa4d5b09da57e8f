# A first data row of 8,193 values.
set -e
{
  yes 1 | head -n 8193 | tr '\n' ' '; echo
  echo 1 2
} > data.txt
