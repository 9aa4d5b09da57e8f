mkdir set
printf '1 4\n3 2\n' > set/c.txt
printf '0 4\n4 0\n2 2\n' > set/a.txt
printf '0 0 4\n4 4 0\n' > set/b.txt
