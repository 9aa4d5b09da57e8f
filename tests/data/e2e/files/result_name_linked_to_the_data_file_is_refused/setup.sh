ln -s d.dat d.BIN
