#!/usr/bin/env python3
"""Writes the benchmark data sets into a directory, reproducibly (fixed seeds).

clusters8.dat    60,000 rows x 8 columns, a mixture of 40 clusters
clusters32.dat   20,000 rows x 32 columns, a mixture of 200 clusters
long4.dat       400,000 rows x 4 columns, a mixture of 60 clusters
clusters8x10.dat 600,000 rows x 8 columns: clusters8 ten times longer, for memory
"""
import random
import sys


def mixture(path, rows, columns, clusters, seed, spread=0.6):
    rng = random.Random(seed)
    centres = [[rng.uniform(0.0, 10.0) for _ in range(columns)] for _ in range(clusters)]
    with open(path, "w") as out:
        out.write("! %d rows x %d columns from %d clusters, seed %d\n" % (rows, columns, clusters, seed))
        for _ in range(rows):
            c = centres[rng.randrange(clusters)]
            out.write(" ".join("%.4f" % (v + rng.gauss(0.0, spread)) for v in c))
            out.write("\n")


def main():
    where = sys.argv[1]
    mixture(where + "/clusters8.dat", 60000, 8, 40, 1)
    mixture(where + "/clusters32.dat", 20000, 32, 200, 2)
    mixture(where + "/long4.dat", 400000, 4, 60, 3)
    mixture(where + "/clusters8x10.dat", 600000, 8, 40, 1)


if __name__ == "__main__":
    main()
