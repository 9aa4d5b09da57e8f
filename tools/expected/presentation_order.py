"""The order of a shuffled learning pass, computed from the generator's
definition in include/fuzzyart/presentation_order.h alone (Python integers,
arithmetic modulo 2**64 written out): the reference the tests and the
end-to-end cases check the library, the package and the command line with.

    python3 presentation_order.py N SEED PASS   prints the N rows' order
"""
import sys

M = 2**64 - 1


def mix(z):
    z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & M
    z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & M
    return z ^ (z >> 31)


def splitmix(state, count):
    out = []
    for _ in range(count):
        state = (state + 0x9E3779B97F4A7C15) & M
        out.append(mix(state))
    return out


def order(n, seed, pass_number):
    first = splitmix(seed, 1)[0]
    keys = splitmix((first + pass_number) & M, 4)
    b = 1
    while b < 32 and (n - 1) >> (2 * b):
        b += 1
    mask = (1 << b) - 1

    def encrypt(x):
        left, right = x >> b, x & mask
        for key in keys:
            left, right = right, left ^ (mix(right ^ key) & mask)
        return (left << b) | right

    result = []
    for i in range(n):
        x = encrypt(i)
        while x >= n:
            x = encrypt(x)
        result.append(x)
    return result


if __name__ == "__main__":
    n, seed, pass_number = (int(a) for a in sys.argv[1:4])
    print(*order(n, seed, pass_number))
