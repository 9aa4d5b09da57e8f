mkdir d.dat
printf '0 4\n4 0\n2 2\n' > .h.dat
