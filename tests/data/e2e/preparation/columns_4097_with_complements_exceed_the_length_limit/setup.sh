# Two rows of 4,097 columns; the last column is constant.
set -e
{
  yes 0 | head -n 4096 | tr '\n' ' '; echo 7
  yes 1 | head -n 4096 | tr '\n' ' '; echo 7
} > data.txt
