i=0
while [ $i -le 1024 ]; do echo "$i $((1024 - i))"; i=$((i + 1)); done > T.DAT
