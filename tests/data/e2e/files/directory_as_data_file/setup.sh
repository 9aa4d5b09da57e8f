mkdir dir.dat
