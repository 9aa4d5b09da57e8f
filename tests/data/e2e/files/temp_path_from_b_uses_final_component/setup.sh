mkdir tmp
