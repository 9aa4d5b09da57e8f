#!/usr/bin/env python3
"""Numbers behind the expected result files of these cases, from the formulas.

    results_values.py DATA [CATFILE] [-M] [-N]

prints the ranges MIN/MAX (widened by CATFILE when given), the records of the
.BIN file as float32 values and hex bytes, and, for CATFILE, each stored row
as it comes back in the written .FAC: loaded with the scaling of the data,
then brought back to data units.

Precision as the program keeps it: values, weights and ranges are float32;
(x - MIN) / (MAX - MIN) is worked in double from float32 operands and stored
as float32; MIN + (MAX - MIN) * w is worked in double and printed with the C
library's "%-12.6G " (so a NaN prints as glibc prints it).
"""
import ctypes
import struct
import sys

libc = ctypes.CDLL("libc.so.6")


def f32(x):
    return struct.unpack('<f', struct.pack('<f', x))[0]


def field(value):
    buf = ctypes.create_string_buffer(64)
    libc.snprintf(buf, 64, b"%-12.6G ", ctypes.c_double(value))
    return buf.value.decode()


def rows(path):
    """Data rows up to the first line without a number; "!" lines skipped."""
    out = []
    for line in open(path, encoding='latin-1'):
        if '!' in line:
            continue
        values = [f32(float(t)) for t in line.replace(',', ' ').split()]
        if not values:
            break
        out.append(values)
    return out


def main(argv):
    complement = '-M' in argv
    normalise = '-N' in argv
    names = [a for a in argv if not a.startswith('-')]
    data = rows(names[0])
    if normalise:
        data = [[f32(v / f32(sum(r))) for v in r] for r in data]
    stored = rows(names[1]) if len(names) > 1 else []
    n = len(data[0])
    lo = [min(r[i] for r in data + stored) for i in range(n)]
    hi = [max(r[i] for r in data + stored) for i in range(n)]

    def scale(x, i):
        return f32((x - lo[i]) / (hi[i] - lo[i]))

    def unscale(w, i):
        return lo[i] + (hi[i] - lo[i]) * w

    print('MIN', lo)
    print('MAX', hi)
    for r in data:
        v = [scale(x, i) for i, x in enumerate(r)]
        if complement:
            v += [f32(1.0 - x) for x in v]
        print('BIN', v, struct.pack('<%df' % len(v), *v).hex())
    for r in stored:
        print('FAC', repr(''.join(field(unscale(scale(x, i), i)) for i, x in enumerate(r))))


if __name__ == '__main__':
    main(sys.argv[1:])
