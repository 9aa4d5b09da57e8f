#!/bin/sh
# Files whose names would read as a vigilance switch and a category file.
printf '0 1\n1 0\n' > ./-V0.dat
printf '0 1\n1 0\n' > ./+c.dat
