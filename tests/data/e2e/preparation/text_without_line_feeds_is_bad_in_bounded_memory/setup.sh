# 64 MiB of NUL bytes and no line feed (a sparse file: no disk is used).
truncate -s 64M data.dat
