#!/usr/bin/env python3
"""Writes the benchmark data sets into a directory, reproducibly (fixed seeds).

    make_data.py DIR [NAME...]      (default: every set but the largest)

clusters8.dat        60,000 rows x 8 columns, a mixture of 40 clusters
clusters32.dat       20,000 rows x 32 columns, a mixture of 200 clusters
long4.dat           400,000 rows x 4 columns, a mixture of 60 clusters
clusters8x10.dat    600,000 rows x 8 columns: clusters8 ten times longer, for memory
million8.dat      1,000,000 rows x 8 columns, the mixture of clusters8
wide64.dat           20,000 rows x 64 columns, a mixture of 300 clusters
wide1024.dat         20,000 rows x 1024 columns, a mixture of 300 clusters
tenmillion8.dat  10,000,000 rows x 8 columns, the mixture of clusters8 (only when named)
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


SETS = {
    "clusters8": (60000, 8, 40, 1),
    "clusters32": (20000, 32, 200, 2),
    "long4": (400000, 4, 60, 3),
    "clusters8x10": (600000, 8, 40, 1),
    "million8": (1000000, 8, 40, 1),
    "wide64": (20000, 64, 300, 4),
    "wide1024": (20000, 1024, 300, 5),
    "tenmillion8": (10000000, 8, 40, 1),
}


def main():
    where = sys.argv[1]
    names = sys.argv[2:] or [name for name in SETS if name != "tenmillion8"]
    for name in names:
        rows, columns, clusters, seed = SETS[name]
        mixture("%s/%s.dat" % (where, name), rows, columns, clusters, seed)


if __name__ == "__main__":
    main()
