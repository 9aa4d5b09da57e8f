#!/bin/sh
# 1024 category rows: k and 1024-k for k = 0, 1, 2 ...
k=0
while [ $k -lt 1024 ]; do echo "$k $((1024 - k))"; k=$((k + 1)); done > BIG.FAC
