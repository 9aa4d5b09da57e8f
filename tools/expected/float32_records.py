#!/usr/bin/env python3
"""Prints the records that the second pass writes to the temporary file.

    python3 float32_records.py [-N] [-M] [-X 5,1] < rows.txt > data.BIN

rows.txt holds the data rows only (no comment lines), values separated by
blanks or commas. Each value is read as the nearest float (ties to even);
with -N it is divided by the row sum, which is added up in double over every
column and rounded to float; each column is scaled to (x - MIN) / (MAX - MIN)
in double from float operands and rounded to float; the selected columns
(-X, 1-based, kept in ascending order) or all columns follow, then with -M
1 - s for each of them. Output: little-endian float32, no header.
"""

import struct
import sys
from fractions import Fraction


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def parse(text):
    """The float nearest to a decimal number, found exactly (no double rounding)."""
    q = Fraction(text)
    bits = struct.unpack("<I", struct.pack("<f", float(q)))[0]
    around = [bits] + [b for b in (bits - 1, bits + 1) if 0 <= b < 0xFFFFFFFF]
    best = min(around, key=lambda b: (abs(Fraction(struct.unpack("<f", struct.pack("<I", b))[0]) - q), b & 1))
    return struct.unpack("<f", struct.pack("<I", best))[0]


def records(rows, normalise=False, complements=False, selected=None):
    values = [[parse(v) for v in row.replace(",", " ").split()] for row in rows]
    if normalise:
        values = [[f32(x / f32(sum(row))) for x in row] for row in values]
    low = [min(col) for col in zip(*values)]
    high = [max(col) for col in zip(*values)]
    keep = sorted(set(selected)) if selected else range(1, len(low) + 1)
    out = bytearray()
    for row in values:
        scaled = [f32((row[c - 1] - low[c - 1]) / (high[c - 1] - low[c - 1])) for c in keep]
        if complements:
            scaled += [f32(1.0 - s) for s in scaled]
        out += struct.pack("<%df" % len(scaled), *scaled)
    return bytes(out)


def main(argv):
    normalise = "-N" in argv
    complements = "-M" in argv
    selected = None
    if "-X" in argv:
        selected = [int(c) for c in argv[argv.index("-X") + 1].split(",")]
    rows = [line for line in sys.stdin.read().splitlines() if line.strip()]
    sys.stdout.buffer.write(records(rows, normalise, complements, selected))


if __name__ == "__main__":
    main(sys.argv[1:])
