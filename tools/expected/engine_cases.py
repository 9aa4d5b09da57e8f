#!/usr/bin/env python3
"""Writes the expected bytes of the learning and recall cases in engine/.

    python3 tools/expected/engine_cases.py

Each case below names its data, its switches and what it proves. The expected
console text, result files and temporary file follow from the documented
behaviour of a learning run, modelled here from its formulas alone (this
script never runs fuzzyart):

  - scaling: (x - MIN) / (MAX - MIN) in double from float operands, stored
    as float; the complement is 1 - x;
  - every running sum is a float, accumulated in index order from 0 (or from
    Alpha for the weight and input sums) and rounded after each addition;
  - a choice value S / D is stored as a float; the match quotient S / D is
    compared with the vigilance in double;
  - the new weight Beta * min(I, w) + (1 - Beta) * w is computed in double
    from float operands and rounded once; Beta and 1 - Beta are floats, and
    Beta * Itp is rounded to float after each pass;
  - the .FAC prints (MAX - MIN) * w + MIN in double with "%-12.6G ".

Rounding a double result to float is done with struct; for +, -, * and /
of two floats this gives the correctly rounded float result. Most data are
multiples of 1/64 after scaling, so the values stay exact and each case can
be checked by hand.
"""

import os
import shutil
import struct
import sys
from fractions import Fraction

from presentation_order import order

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "..", "tests", "data", "e2e", "engine")

SPIN = "-\\|/"
BANNER = " <<< fuzzyart >>>  Version: 1.11W32 DOS\n\n"
ALPHA, BETA = "\xe0", "\xe1"


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def parse(text):
    """A decimal number rounded once to the nearest float (ties to even)."""
    q = Fraction(text)
    if q == 0:
        return 0.0
    sign, q = (-1, -q) if q < 0 else (1, q)
    e = q.numerator.bit_length() - q.denominator.bit_length()
    while q >= Fraction(2) ** (e + 1):
        e += 1
    while q < Fraction(2) ** e:
        e -= 1
    m = q / Fraction(2) ** (e - 23)
    n = m.numerator // m.denominator
    rest = m - n
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and n % 2):
        n += 1
    return sign * float(Fraction(n) * Fraction(2) ** (e - 23))


class Stop(Exception):
    """A PANIC: the run ends with exit code 5 after this message."""


def result_name(name, ext):
    slash = name.rfind("/") + 1
    dot = name.find(".", slash)
    return (name if dot < 0 else name[:dot]) + ext


class Run:
    def __init__(self, files, R=10, beta="0.9", alpha="0", vig="0.5", itp="1", quiet=False, comp=False, debug=0,
                 shuffle=None):
        self.files = files  # [(argument, data text)]
        self.shuffle = shuffle  # --shuffle's seed: each pass presents the rows in its order
        self.R, self.quiet, self.comp, self.debug = R, quiet, comp, debug
        self.beta, self.alpha, self.vig, self.itp = parse(beta), parse(alpha), parse(vig), parse(itp)
        self.err, self.out, self.written = "", "", {}

    # Data preparation: two passes, then the ranges and the scaled vectors.
    def prepare(self, name, text):
        rows = []
        for line in text.split("\n"):
            if "!" in line:
                continue
            values = line.replace(",", " ").replace("\t", " ").split()
            if not values:
                break
            rows.append([parse(v) for v in values])
        n = len(rows[0])
        lo = [min(r[i] for r in rows) for i in range(n)]
        hi = [max(r[i] for r in rows) for i in range(n)]
        tick = 0
        for counter in range(2 * len(rows)):  # the row counter runs on into the second pass
            if counter % 64 == 0 and not self.quiet:
                self.err += "\b" + SPIN[tick % 4]
                tick += 1
        vecs = []
        for r in rows:
            v = [f32((r[i] - lo[i]) / (hi[i] - lo[i])) for i in range(n)]
            if self.comp:
                v += [f32(1.0 - x) for x in v]
            vecs.append(v)
        self.err += "\n" + ("Complement coded " if self.comp else "") + "FuzzyArt algorithm.\n"
        self.written[result_name(name, ".BIN")] = b"".join(struct.pack("<%df" % len(v), *v) for v in vecs)
        return vecs, lo, hi, n

    def choices(self, cats, v, label):
        out = []
        for w in cats:
            s, d = 0.0, self.alpha
            for x, y in zip(v, w):
                s = f32(s + (x if x < y else y))
                d = f32(d + y)
            if d == 0:
                raise Stop("Division by 0. Zero/Minvector. (%s) Can't continue.\n" % label)
            out.append(f32(s / d))
        return out

    def match(self, w, v, label):
        s, d = 0.0, self.alpha
        for x, y in zip(v, w):
            s = f32(s + (x if x < y else y))
            d = f32(d + x)
        if d == 0:
            raise Stop("Division by 0. Zero/Minvector. (%s) Can't continue.\n" % label)
        return s / d >= self.vig

    def winners(self, choice):
        """Categories in the order the search tries them: the greatest choice
        value first, the lower index first among equal values. None stands
        for "best is below 0" (every category with a choice of 0 or more has
        been reset)."""
        for j in sorted(range(len(choice)), key=lambda j: (-choice[j], j)):
            if choice[j] < 0:
                break
            yield j
        yield None

    def learn(self, vecs):
        cats, beta = [], self.beta
        for p in range(1, self.R + 1):
            self.err += "\nCategories at start:-   " if p == 1 else "\nCategories at start:%-4d" % len(cats)
            self.err += " Iteration:%-3d %s:%-18.6G" % (p, BETA, beta)
            rest = f32(1.0 - beta)
            s = 0
            shown = vecs if self.shuffle is None else [vecs[i] for i in order(len(vecs), self.shuffle, p)]
            for r, v in enumerate(shown):
                if not self.quiet and r % 120 == 0:
                    self.err += "\b\b\b\b\b%04d%c" % (len(cats), SPIN[s % 4])
                    s += 1
                elif not self.quiet and r % 64 == 0:
                    self.err += "\b" + SPIN[s % 4]
                    s += 1
                if not cats:
                    cats.append(list(v))
                    continue
                for j in self.winners(self.choices(cats, v, "Vicinityvector")):
                    if j is None:
                        if len(cats) == 1024:
                            raise Stop("Too many categories. Max:1024\n")
                        cats.append(list(v))
                    elif self.match(cats[j], v, "Resonance"):
                        cats[j] = [f32(beta * (x if x < y else y) + rest * y) for x, y in zip(v, cats[j])]
                    else:
                        continue
                    break
            if not self.quiet:
                self.err += "\b\b\b\b\b%04d%c" % (len(cats), SPIN[(s - 1) % 4])
            beta = f32(beta * self.itp)
        self.err += "\nFinal number of categories: %-2d\n " % len(cats)
        return cats

    def recall(self, name, cats, vecs):
        faf = result_name(name, ".FAF")
        self.err += "\nWriting Categoryvaluefile:  "
        self.pending[faf] = ("! Categoryvaluefile for datafile: %s\n" % name if self.debug >= 1 else "").encode("latin-1")
        counts = [0] * len(cats)
        for row, v in enumerate(vecs):
            if row % 64 == 0 and not self.quiet:
                self.err += "\b" + SPIN[(row // 64) % 4]
            for j in self.winners(self.choices(cats, v, "Vicinityvector(RC)")):
                if j is None:
                    raise Stop("Can't find category (RC). (Not enough iterations/Unstable learning?)\n")
                if self.match(cats[j], v, "Resonance(RC)"):
                    self.pending[faf] += b"%d\n" % (j + 1)
                    counts[j] += 1
                    break
        return counts

    def write_weights(self, name, cats, counts, lo, hi, n):
        self.err += "\nWriting Category/Weightfile.\n"
        text = ""
        if self.debug >= 1:
            text += "! Category/weightfile for datafile: %s\n" % name
            text += "! No.of Iter:%d %s:%.3f %s:%.3f Vigilance:%.3f Itp:%.3f CompCode:%c\n" % (
                self.R, ALPHA, self.alpha, BETA, self.beta, self.vig, self.itp, "Y" if self.comp else "N")
        for i, w in enumerate(cats):
            self.out += "Counts of category%-2d: %6d\n" % (i + 1, counts[i])
            if self.debug >= 1:
                text += "Counts=%-6d " % counts[i]
            text += "".join("%-12.6G " % ((hi[j] - lo[j]) * w[j] + lo[j]) for j in range(n)) + "\n"
        self.pending[result_name(name, ".FAC")] = text.encode("latin-1")
        self.err += "\n"

    def go(self):
        self.err = BANNER + "LEARN> Number of iterations:%d %s:%.3f %s:%.3f Vigilance:%.3f Itp:%.3f\n" % (
            self.R, ALPHA, self.alpha, BETA, self.beta, self.vig, self.itp)
        try:
            for name, text in self.files:
                self.err += "\nWorking on file: %-13s Creating files: %-13s %s\n " % (
                    name, result_name(name, ".FAC"), result_name(name, ".FAF"))
                # A data file's result files replace their names only once
                # its work is complete; a stop leaves none of them.
                self.pending = {}
                vecs, lo, hi, n = self.prepare(name, text)
                cats = self.learn(vecs)
                counts = self.recall(name, cats, vecs)
                self.write_weights(name, cats, counts, lo, hi, n)
                self.written.update(self.pending)
            return 0
        except Stop as stop:
            self.err += "\nPANIC: " + str(stop)
            return 5


def rows(*vectors):
    return "".join(" ".join(str(x) for x in v) + "\n" for v in vectors)


# (directory, switches, data files, settings of the model, setup script)
CASES = []


def case(name, args, files, setup=None, earlier=None, **settings):
    """files: [(argument, data text)]; with a setup script the data are made
    by it, and the text given here is what it writes. earlier: {name: text}
    of result files that exist before the run (a run that stops must leave
    them as they were)."""
    CASES.append((name, args, files, settings, setup, earlier or {}))


# The worked example: (0.2, 0.6), (0.4, 0.2), (0.9, 0.9), with the ranges set
# to 0..1 by two more rows. After three vectors category 1 is (0.2, 0.24) and
# category 2 is (0.9, 0.9). Row 4 (0, 1) is refused by category 1 (0.24 / 1)
# and moves category 2 to (0.09, 0.9); row 5 (1, 0) is refused by both and
# becomes category 3. In recall (0.9, 0.9) finds categories 1 and 2 tied at
# choice 1: category 1 is refused (0.44 / 1.8), category 2 accepts.
case("worked_example", ["-R1"],
     [("T.DAT", "0.2 0.6\n0.4 0.2\n0.9 0.9\n0 1\n1 0\n")], R=1)


# A whole learning run at the default settings (10 passes, Beta 0.9 kept by
# Itp 1): the spinner of both preparation passes, every pass header with its
# count, the full progress print at the first vector and the end-of-pass
# print, the final count, the value file's spinner, the count lines.
case("console_picture_default_run", [],
     [("T.DAT", rows((64, 0, 16), (0, 64, 16), (48, 16, 0), (16, 48, 64), (64, 64, 32)))])

# Vigilance 0: every vector resonates with the best category, so only the
# first creates one. Beta 0.5 halves each weight's distance to the minimum.
case("vigilance_zero_keeps_one_category", ["-V0", "-G0.5", "-R2"],
     [("T.DAT", rows((64, 0), (0, 64), (16, 16), (32, 48)))], vig="0", beta="0.5", R=2)

# Vigilance 1 with Alpha 0: only an input that the category covers (match
# exactly 1) resonates. The duplicate rows meet their own category; every
# other row makes a new one.
case("vigilance_one_accepts_duplicate_rows", ["-V1", "-R2"],
     [("T.DAT", rows((64, 32, 0), (0, 64, 32), (64, 32, 0), (32, 0, 64), (0, 64, 32)))], vig="1", R=2)

# Alpha 0.1 and vigilance 1: no category can match, so learning makes one per
# row and pass (3 rows, 2 passes: 6), and recall stops at the first row.
case("vigilance_one_with_alpha_finds_no_category_in_recall", ["-I0.1", "-V1", "-R2"],
     [("T.DAT", rows((0, 64), (64, 0), (32, 32)))], alpha="0.1", vig="1", R=2)

# The same stop in the final classification, with the results of an earlier
# run beside the data: a stopped run replaces none of them.
case("stop_in_final_classification_keeps_earlier_results", ["-I0.1", "-V1", "-R2"],
     [("T.DAT", rows((0, 64), (64, 0), (32, 32)))], alpha="0.1", vig="1", R=2,
     earlier={"T.FAC": "0            64           \n64           0            \n", "T.FAF": "1\n2\n1\n"})

# Two data files, the second of which stops: the first file's results are
# final, the second leaves none.
case("second_file_stops_first_file_results_final", ["-R1"],
     [("A.DAT", rows((64, 0), (0, 64), (48, 16))), ("B.DAT", "3 7\n1 2\n")], R=1)

# Equal choice values go to the lower index. In learning (0.5, 0.5) ties the
# categories (1, 0) and (0, 1) at 0.5; the first is tested, passes and learns
# (fast learning makes it (0.5, 0)); then (0.5, 1) ties both at 1 and again
# the first passes (0.5 / 1.5). In recall (0.5, 1) ties them once more.
case("tie_goes_to_lower_index", ["-V0.3", "-G1", "-R1"],
     [("T.DAT", rows((64, 0), (0, 64), (32, 32), (32, 64)))], vig="0.3", beta="1", R=1)

# A match exactly equal to the vigilance passes: (45, 19)/64 against the
# category (45, 0)/64 matches 45/64 = 0.703125, the vigilance.
case("match_equal_to_vigilance_passes", ["-V0.703125", "-R1"],
     [("T.DAT", rows((45, 0), (45, 19), (0, 64), (64, 64)))], vig="0.703125", R=1)

# The match quotient is compared in double: 0.375 / 1.25 is 0.3 in double,
# below the vigilance 0.3 as a float (0.300000012), so (1, 0.25) does not
# resonate with (0.125, 0.25) and becomes a category of its own.
case("match_compared_in_double", ["-V0.3", "-R1"],
     [("T.DAT", rows((8, 16), (64, 16), (0, 64), (16, 0)))], vig="0.3", R=1)

# Beta 1: a resonating category becomes the minimum of itself and the input.
case("beta_one_fast_learning", ["-G1", "-R2"],
     [("T.DAT", rows((60, 8), (64, 0), (56, 4), (4, 56), (0, 64), (8, 60)))], beta="1", R=2)

# Itp 0.5 halves Beta after every pass: the headers show 1, 0.5 and 0.25.
case("itp_half_halves_beta_each_pass", ["-G0.5", "-F0.5", "-R3"],
     [("T.DAT", rows((64, 16), (48, 0), (0, 64), (32, 48)))], beta="0.5", itp="0.5", R=3)

# Itp 2 doubles it: 0.25, 0.5 and 1.
case("itp_two_doubles_beta_each_pass", ["-G0.125", "-F2", "-R3"],
     [("T.DAT", rows((0, 64, 16), (16, 48, 0), (64, 0, 64), (48, 0, 48), (64, 32, 32)))], beta="0.125", itp="2", R=3)

# Each data file starts again from the Beta parameter and an empty table.
case("itp_beta_restarts_for_each_file", ["-F0.5", "-R2"],
     [("A.DAT", rows((64, 0), (0, 64), (48, 16))), ("B.DAT", rows((0, 8), (8, 0), (4, 4), (2, 6)))],
     itp="0.5", R=2)

# 130 rows: preparation ticks at rows 0, 64, 128 and, counting on, 192 and
# 256; learning prints the full form at vectors 0 and 120 and the short one
# at 64 and 128; recall ticks at 0, 64 and 128.
case("progress_over_120_rows", ["-R2"],
     [("T.DAT", rows(*[((i * 37) % 65, (i * 11 + 7) % 65) for i in range(130)]))], R=2)

# Quiet: no spinner, count or backspace anywhere; every line stays.
case("quiet_mode_shows_no_progress", ["-Q", "-R2"],
     [("T.DAT", rows((64, 0), (0, 64), (48, 16)))], quiet=True, R=2)

# Rows 1 0 and 0 1 with vigilance 0 and Beta 1 leave category 1 all zero; with
# Alpha 0 its choice has a zero denominator at the next vector: in the second
# pass of learning, or in recall after a single pass.
case("zero_category_stops_learning", ["-V0", "-G1", "-R2"],
     [("T.DAT", "1 0\n0 1\n")], vig="0", beta="1", R=2)
case("zero_category_stops_recall", ["-V0", "-G1", "-R1"],
     [("T.DAT", "1 0\n0 1\n")], vig="0", beta="1", R=1)

# An input at every column's minimum has a zero input sum with Alpha 0: the
# match test of the first category tried stops the run.
case("zero_input_stops_learning", [],
     [("T.DAT", "3 7\n1 2\n")])

# The value file has one line per data row: comment lines are not rows.
case("value_file_skips_comment_lines", ["-R1"],
     [("T.DAT", "! two clusters\n64 0\n! the second\n0 64\n60 4\n!\n4 60\n")], R=1)

# Debug level 1 puts a header line in the value file (and two in the .FAC,
# whose rows begin with their counts).
case("value_file_header_at_debug_level_1", ["-D", "-R1"],
     [("T.DAT", rows((64, 0), (0, 64), (60, 4)))], debug=1, R=1)

# Complement coding: vectors of 4 values, whose complements take part in the
# choice and match; the .FAC holds the first two weights of each category.
case("complement_coding_learns_on_both_halves", ["-M", "-R2"],
     [("T.DAT", rows((64, 0), (0, 64), (48, 16), (16, 16)))], comp=True, R=2)

# 1025 distinct rows with Alpha 0.1 and vigilance 1: every vector makes a
# category, and the 1025th finds the table full.
case("too_many_categories", ["-I0.1", "-V1", "-R1"],
     [("T.DAT", rows(*[(i, 1024 - i) for i in range(1025)]))],
     setup="i=0\nwhile [ $i -le 1024 ]; do echo \"$i $((1024 - i))\"; i=$((i + 1)); done > T.DAT\n",
     alpha="0.1", vig="1", R=1)

# Sums are rounded to float after every addition. In recall the row
# (0.2, 1) meets category 2, (0.1, 0.8) after learning with Beta 0.5: the
# float sum 0.1 + 0.8 is 0.90000004, and with the input sum 0.3 + 0.2 + 1 =
# 1.5 the match is 0.6 as a float, equal to the vigilance, so it passes
# (summed in double it would fall short, and no category would take the row).
case("sums_rounded_after_each_addition", ["-I0.3", "-V0.6", "-G0.5", "-R1"],
     [("T.DAT", rows((14, 1), (6, 11), (10, 3), (4, 7)))], alpha="0.3", vig="0.6", beta="0.5", R=1)


# Choice values are stored as floats. The third row (2729, 2974)/4096 gives
# category 1, (3457, 844)/4096, the choice 3573/4301 = 0.83073704 and
# category 2, (1399, 3865)/4096, the choice 4373/5264 = 0.83073708: as floats
# they are equal, so category 1 is tested first, passes (0.63) and learns.
# Two more rows set the ranges to 0..4096.
case("choice_rounded_to_float_ties", ["-R1"],
     [("T.DAT", rows((3457, 844), (1399, 3865), (2729, 2974), (4096, 0), (0, 4096)))], R=1)

# --shuffle=7 presents the rows of the tie case in the order 2 1 4 3
# (presentation_order.py 4 7 1): (0, 1) and (1, 0) become categories 1 and
# 2; (0.5, 1) has choice 1 at category 1 and joins it (0.5 / 1.5 passes
# 0.3), which fast learning leaves (0, 1); (0.5, 0.5) ties the two at 0.5
# and joins category 1, making it (0, 0.5). Recall gives the rows 2 1 1 1;
# in their own order they gave 1 2 1 1 with category 1 (0.5, 0).
case("shuffle_changes_the_categories", ["-V0.3", "-G1", "-R1", "--shuffle=7"],
     [("T.DAT", rows((64, 0), (0, 64), (32, 32), (32, 64)))], vig="0.3", beta="1", R=1, shuffle=7)

def write_case(name, args, files, settings, setup, earlier):
    run = Run(files, **settings)
    code = run.go()
    d = os.path.join(OUT, name)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(os.path.join(d, "expect"))
    with open(os.path.join(d, "args"), "w") as f:
        f.write("".join(a + "\n" for a in [n for n, _ in files] + args))
    for fname, text in files:
        if setup:
            continue
        os.makedirs(os.path.join(d, "in"), exist_ok=True)
        with open(os.path.join(d, "in", fname), "w") as f:
            f.write(text)
    for fname, text in earlier.items():
        with open(os.path.join(d, "in", fname), "w") as f:
            f.write(text)
    if setup:
        with open(os.path.join(d, "setup.sh"), "w") as f:
            f.write(setup)
    with open(os.path.join(d, "expect", "exit"), "w") as f:
        f.write("%d\n" % code)
    with open(os.path.join(d, "expect", "stderr"), "wb") as f:
        f.write(run.err.encode("latin-1"))
    if run.out:
        with open(os.path.join(d, "expect", "stdout"), "wb") as f:
            f.write(run.out.encode("latin-1"))
    for fname, data in run.written.items():
        os.makedirs(os.path.join(d, "expect", "files"), exist_ok=True)
        with open(os.path.join(d, "expect", "files", fname), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    for c in CASES:
        write_case(*c)
    print("%d cases written to %s" % (len(CASES), OUT), file=sys.stderr)
