#!/usr/bin/env python3
"""Writes the expected bytes of the cases in e2e/model: the long options,
--save-model and --model runs.

    python3 tools/expected/model_cases.py

Learning, classification and the .FAC, .FAF and .BIN bytes come from the
model of engine_cases.py (scaling in double from float operands, float sums
in index order, the weight update in double rounded once). On top of it:

  - the model file, line by line as README.md ("Learn once, classify new
    files") describes it; each float in the text std::to_chars gives it: the
    fewest significant digits that read back to the same float (the nearest
    such number where several do), in fixed or exponent form, whichever is
    shorter (fixed on a tie), the exponent with a sign and two digits at
    least;
  - a --model run scales every row with the model's ranges, a value outside
    them clipped to 0 or 1, after the division by the row sum when the model
    says so; it classifies with the model's categories, Alpha and vigilance
    (unless -I or -V is given) and writes the .FAC in the model's units;
  - the usage text as the switch part of the documentation gives it.

This script never runs fuzzyart.
"""

import math
import os
import shutil
import struct
import sys
from fractions import Fraction

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from engine_cases import ALPHA, BANNER, BETA, SPIN, Run, Stop, f32, parse, result_name  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "..", "tests", "data", "e2e", "model")

USAGE = (
    "FuzzyArt network simulator for ASCII datafiles.\n\nUsage:\n fuzzyart <DataFile> (+CatFile) "
    "(-R#)(-G#)(-I#)(-V#)(-F#)(-X#.) (-Bpath) (-NMW)\n\n"
    "The Datafile must have at least 2 columnes of data.\n* and/or ? can be used in the datafilename.\n"
    "The Category/Weightfile is used for Recall on existing file. (.FAC)\n\n"
    "Switch R sets number of iterations. (Default value is 10)\n\n"
    "Switch G sets the learning rate parameter. Beta \xe1\n(Default value is 0.900)\n\n"
    "Switch I sets the category choice parameter. Alpha \xe0\n(Default value is 0.000)\n\n"
    "Switch V sets the vigilance parametern. (Default value is 0.500)\n\n"
    "Switch F sets the iteration parameter that decreases Beta for\nevery iteration. (Default value is 1.000)\n"
    "Press ENTER:"
    "Switch X sets what datacolumnes to use from the datafile. *\nExample: -X1,3,5-8  (Uses datacolumnes 1,3,5,6,7,8)\n\n"
    "Switch B sets the path for the temporary datafile. Ex: -BC:\\TEMP\\ *\n\n"
    "Switch N makes normalization on the data. (Default is NOT normalized)\n\n"
    "Switch M make use of complement coding. (Default is Normal)\n\n"
    "Switch W writes a CategoryCenterfile with extension: .BKC\n\n"
    "Max no. of variables: 8192 (4096 for comp.code)  Max no. of categories: 1024\n"
    "Results (category/weight) are written to files with extension .FAC.\n"
    "Categoryvalues are written to files with extension .FAF.\n"
    "Switches with * must have - or / in front. Others can be written together.\n"
    "Example: -X2-9 but -G0.5V0.3\n\nExample Usage: fuzzyart TFILE.DAT -R6 -G0.12\n\n"
    "Uses datafile TFIL.DAT. Number of iterationes is 6 and the learning\n"
    "rate is 0.12. The results are written to TFILE.FAC & TFILE.FAF.\n"
)


def shortest(x):
    """std::to_chars of a float (x holds one exactly)."""
    if x == 0:
        return "-0" if math.copysign(1.0, x) < 0 else "0"
    exact = Fraction(x)
    for p in range(1, 10):
        mantissa, exponent = ("%.*e" % (p - 1, abs(x))).split("e")
        digits, scale = int(mantissa.replace(".", "")), int(exponent) - (p - 1)
        fits = [d for d in (digits - 1, digits, digits + 1)
                if d > 0 and len(str(d)) == p and abs(parse("%de%d" % (d, scale))) == abs(x)]
        if fits:
            d = str(min(fits, key=lambda d: abs(Fraction(d) * Fraction(10) ** scale - abs(exact))))
            break
    e = scale + p - 1  # the exponent of the first digit
    sci = d[0] + ("." + d[1:] if p > 1 else "") + "e%s%02d" % ("-" if e < 0 else "+", abs(e))
    if scale >= 0:
        fixed = d + "0" * scale
    elif e >= 0:
        fixed = d[:e + 1] + "." + d[e + 1:]
    else:
        fixed = "0." + "0" * (-e - 1) + d
    text = fixed if len(fixed) <= len(sci) else sci
    return ("-" if x < 0 else "") + text


class Model:
    """The contents of a model file."""

    def __init__(self, columns, used, lo, hi, cats, counts, normalise=False, comp=False, alpha="0", beta="0.9",
                 next_beta=None, vig="0.5", itp="1", iterations=10, passes=10):
        self.columns, self.used = columns, used  # used from 0
        self.lo, self.hi = [f32(v) for v in lo], [f32(v) for v in hi]
        self.cats = [[f32(v) for v in w] for w in cats]
        self.counts, self.normalise, self.comp = counts, normalise, comp
        self.alpha, self.beta, self.vig, self.itp = [parse(v) if isinstance(v, str) else v
                                                     for v in (alpha, beta, vig, itp)]
        self.next_beta = self.beta if next_beta is None else next_beta
        self.iterations, self.passes = iterations, passes

    def text(self):
        yes = lambda on: "yes" if on else "no"  # noqa: E731
        floats = lambda values: " ".join(shortest(v) for v in values)  # noqa: E731
        out = ["fuzzyart-model 1", "kind fuzzyart", "columns %d" % self.columns, "normalise " + yes(self.normalise),
               "complement " + yes(self.comp), "used " + " ".join(str(c + 1) for c in self.used),
               "min " + floats(self.lo), "max " + floats(self.hi)]
        out += ["%s %s" % (k, shortest(v)) for k, v in (("alpha", self.alpha), ("beta", self.beta),
                                                        ("next-beta", self.next_beta), ("vigilance", self.vig),
                                                        ("itp", self.itp))]
        out += ["iterations %d" % self.iterations, "passes %d" % self.passes, "max-categories 1024",
                "categories %d" % len(self.cats)]
        out += ["%d %s" % (n, floats(w)) for n, w in zip(self.counts, self.cats)]
        return ("\n".join(out + ["end"]) + "\n").encode("latin-1")


def read_rows(text):
    """The data rows: "!" lines skipped, the first line without a number ends them."""
    out = []
    for line in text.split("\n"):
        if "!" in line:
            continue
        values = line.replace(",", " ").replace("\t", " ").split()
        if not values:
            break
        out.append([parse(v) for v in values])
    return out


def divided(row):
    total = 0.0
    for v in row:
        total += v  # in double, index order
    s = f32(total)
    return [f32(v / s) for v in row]


class LearnRun(Run):
    """A learning run with -X, -N and --save-model on top of engine_cases' model."""

    def __init__(self, files, used=None, normalise=False, save=None, **settings):
        super().__init__(files, **settings)
        self.used, self.normalise, self.save = used, normalise, save

    def prepare(self, name, text):
        data = read_rows(text)
        if self.normalise:
            data = [divided(r) for r in data]
        columns = len(data[0])
        used = self.used or list(range(columns))
        lo = [min(r[i] for r in data) for i in used]
        hi = [max(r[i] for r in data) for i in used]
        self.columns, self.used_now = columns, used
        tick = 0
        for counter in range(2 * len(data)):
            if counter % 64 == 0 and not self.quiet:
                self.err += "\b" + SPIN[tick % 4]
                tick += 1
        vecs = []
        for r in data:
            v = [f32((r[c] - lo[k]) / (hi[k] - lo[k])) for k, c in enumerate(used)]
            vecs.append(v + ([f32(1.0 - x) for x in v] if self.comp else []))
        self.err += "\n" + ("Normalized data. " if self.normalise else "") + \
            ("Complement coded " if self.comp else "") + "FuzzyArt algorithm.\n"
        self.written[result_name(name, ".BIN")] = b"".join(struct.pack("<%df" % len(v), *v) for v in vecs)
        return vecs, lo, hi, len(used)

    def write_weights(self, name, cats, counts, lo, hi, n):
        if self.save:
            beta = self.beta
            for _ in range(self.R):
                beta = f32(beta * self.itp)
            self.pending[self.save] = Model(self.columns, self.used_now, lo, hi, cats, counts, self.normalise,
                                            self.comp, self.alpha, self.beta, beta, self.vig, self.itp, self.R,
                                            self.R).text()
        super().write_weights(name, cats, counts, lo, hi, n)


class ModelRun(Run):
    """A --model run: the model's ranges, categories and parameters, -I and -V over them."""

    def __init__(self, files, model, alpha=None, vig=None, quiet=True, debug=0, centres=False, save=None):
        super().__init__(files, R=model.iterations, quiet=quiet, comp=model.comp, debug=debug)
        self.model, self.centres, self.save = model, centres, save
        self.beta, self.itp = model.beta, model.itp
        self.alpha = model.alpha if alpha is None else parse(alpha)
        self.vig = model.vig if vig is None else parse(vig)

    def prepare(self, name, text):
        m = self.model
        data = read_rows(text)
        # The .BIN is made, empty, before the data file is read.
        self.written[result_name(name, ".BIN")] = b""
        if len(data[0]) != m.columns:
            raise Stop("Bad modelfile: model.txt\nINFO: Line 3: columns %d, but the datafile has %d\n"
                       % (m.columns, len(data[0])))
        if m.normalise:
            data = [divided(r) for r in data]
        tick = 0
        for counter in range(2 * len(data)):
            if counter % 64 == 0 and not self.quiet:
                self.err += "\b" + SPIN[tick % 4]
                tick += 1

        def scaled(x, k):
            return 0.0 if x < m.lo[k] else 1.0 if x > m.hi[k] else f32((x - m.lo[k]) / (m.hi[k] - m.lo[k]))

        vecs = []
        for r in data:
            v = [scaled(r[c], k) for k, c in enumerate(m.used)]
            vecs.append(v + ([f32(1.0 - x) for x in v] if m.comp else []))
        self.err += "\n" + ("Normalized data. " if m.normalise else "") + \
            ("Complement coded " if m.comp else "") + "FuzzyArt algorithm.\n"
        self.written[result_name(name, ".BIN")] = b"".join(struct.pack("<%df" % len(v), *v) for v in vecs)
        return vecs

    def centre_file(self, name, cats, vecs, counts):
        m = self.model
        self.err += "\nWriting CategoryCenterfile.\n"
        text = "! Computed CategoryCenters for datafile: %s\n" % name if self.debug >= 1 else ""
        sums = [[0.0] * len(m.used) for _ in cats]
        for v in vecs:
            j = self.category_of(cats, v)
            for k in range(len(m.used)):
                sums[j][k] = f32(sums[j][k] + v[k])
        for j in range(len(cats)):
            assert counts[j] > 0, "a category without rows has no centre to compare"
            text += "".join("%-12.6G " % (m.lo[k] + (m.hi[k] - m.lo[k]) * f32(sums[j][k] / counts[j]))
                            for k in range(len(m.used))) + "\n"
        self.pending[result_name(name, ".BKC")] = text.encode("latin-1")

    def category_of(self, cats, v):
        for j in self.winners(self.choices(cats, v, "")):
            if self.match(cats[j], v, ""):
                return j

    def go(self):
        m = self.model
        self.err = BANNER + "RECALL> %s:%.3f %s:%.3f Vigilance:%.3f Itp:%.3f\n" % (
            ALPHA, self.alpha, BETA, self.beta, self.vig, self.itp)
        try:
            for name, text in self.files:
                if self.centres:
                    self.err += "\nWorking on file: %-13s\nCreating files:  %-13s %-13s %s\n " % (
                        name, result_name(name, ".FAC"), result_name(name, ".FAF"), result_name(name, ".BKC"))
                else:
                    self.err += "\nWorking on file: %-13s Creating files: %-13s %s\n " % (
                        name, result_name(name, ".FAC"), result_name(name, ".FAF"))
                self.pending = {}
                vecs = self.prepare(name, text)
                self.err += "\nFinal number of categories: %-2d\n " % len(m.cats)
                counts = self.recall(name, m.cats, vecs)
                if self.centres:
                    self.centre_file(name, m.cats, vecs, counts)
                if self.save:
                    self.pending[self.save] = Model(m.columns, m.used, m.lo, m.hi, m.cats, counts, m.normalise,
                                                    m.comp, self.alpha, m.beta, m.next_beta, self.vig, m.itp,
                                                    m.iterations, m.passes).text()
                self.write_weights(name, m.cats, counts, m.lo, m.hi, len(m.used))
                self.written.update(self.pending)
            return 0
        except Stop as stop:
            self.err += "\nPANIC: " + str(stop)
            return 5


class RecallRun(ModelRun):
    """A recall of a stored .FAC with --save-model: the ranges are the data's widened by the stored rows, which
    become the categories (complements rebuilt as 1 minus the first half); nothing is learnt, so the model's
    next pass would learn with Beta as set."""

    def __init__(self, files, fac, comp=False, vig="0.5", save=None):
        data = read_rows(files[0][1])
        stored = read_rows(fac)
        n = len(data[0])
        lo = [min(r[i] for r in data + stored) for i in range(n)]
        hi = [max(r[i] for r in data + stored) for i in range(n)]
        cats = []
        for r in stored:
            w = [f32((r[i] - lo[i]) / (hi[i] - lo[i])) for i in range(n)]
            cats.append(w + ([f32(1.0 - x) for x in w] if comp else []))
        model = Model(n, list(range(n)), lo, hi, cats, [0] * len(cats), comp=comp, vig=vig, passes=0)
        super().__init__(files, model, save=save)


class Fixed:
    """A run whose output is written out here: the long options' conflicts and stops."""

    def __init__(self, err, code, out=""):
        self.err, self.code, self.out, self.written = err, code, out, {}

    def go(self):
        return self.code


def usage(*panic_lines):
    return Fixed(BANNER + "".join("PANIC: %s\n" % line for line in panic_lines) + USAGE, 1)


CASES = []


def case(name, args, run, inputs=None, env=None, setup=None):
    """inputs: {name: bytes or text} copied into the directory before the run."""
    CASES.append((name, args, run, inputs or {}, env, setup))


DATA = "0 10\n1 12\n4 20\n2 15\n"  # ranges 0..4 and 10..20
# Two categories of complement-coded rows over those ranges: the box from
# (0.25, 0.5) to (0.5, 0.75) and the box from (0.75, 0.75) to (0.875, 0.875).
STORED = Model(2, [0, 1], [0.0, 10.0], [4.0, 20.0], [[0.25, 0.5, 0.5, 0.25], [0.75, 0.75, 0.125, 0.125]], [3, 2],
               comp=True, vig="0.75")
# New rows: inside the boxes, and beyond the ranges (clipped) close to the
# second box; NEW adds rows that no category accepts at the model's
# vigilance.
NEW_OK = "1.5 16\n3.25 18\n5 18\n3.25 30\n1 15\n"
NEW = "1.5 16\n-8 100\n9 5\n1 15\n"


# The long options: anything after "--" that is not one of them is an
# argument conflict, found in order with the others; nothing is opened.
case("unknown_long_option_is_an_argument_conflict", ["T.DAT", "--bogus"], usage("Unknown option: --bogus"),
     {"T.DAT": DATA})
case("bare_model_option_ends_the_scan", ["--model", "T.DAT"],
     usage("Unknown option: --model", "ONE filename/pattern must be given."), {"T.DAT": DATA})
case("empty_file_after_save_model_is_unknown", ["T.DAT", "--save-model="], usage("Unknown option: --save-model="),
     {"T.DAT": DATA})
case("long_option_names_are_exact_and_case_sensitive", ["T.DAT", "--Help", "--help=x"], usage("Unknown option: --Help"),
     {"T.DAT": DATA})
case("first_unknown_option_ends_the_scan_before_two_category_files", ["T.DAT", "--x=1", "+a", "+b"],
     usage("Unknown option: --x=1"), {"T.DAT": DATA})
case("version_decides_over_an_unknown_option", ["--bogus", "--version"],
     Fixed("", 0, "fuzzyart 1.11\nCopyright (C) 2026 the fuzzyart developers.\n"))

# --save-model in learning runs.
W4 = "0.2 0.6\n0.4 0.2\n0.9 0.9\n0 1\n1 0\n"  # engine_cases' worked example
case("save_model_keeps_both_halves_and_beta_of_the_next_pass", ["T.DAT", "-M", "-R2", "-G0.5", "-F0.5", "-Q",
                                                                 "--save-model=T.model"],
     LearnRun([("T.DAT", W4)], comp=True, R=2, beta="0.5", itp="0.5", quiet=True, save="T.model"))
case("save_model_with_x_and_n", ["T.DAT", "-X1,3", "-N", "-R3", "-V0.6", "-Q", "--save-model=m"],
     LearnRun([("T.DAT", "1 9 3\n4 1 2\n2 2 8\n5 5 1\n")], used=[0, 2], normalise=True, R=3, vig="0.6", quiet=True,
              save="m"))
case("save_model_of_each_data_file_replaces_the_last", ["A.DAT", "B.DAT", "-R1", "-Q", "--save-model=m"],
     LearnRun([("A.DAT", "64 0\n0 64\n48 16\n"), ("B.DAT", "0 8\n8 0\n4 4\n")], R=1, quiet=True, save="m"))
case("save_model_in_a_run_that_stops_keeps_the_old_model", ["T.DAT", "-Q", "--save-model=m"],
     LearnRun([("T.DAT", "3 7\n1 2\n")], quiet=True, save="m"), {"m": "old model\n"})
case("save_model_over_a_data_file_is_refused", ["A.DAT", "B.DAT", "--save-model=B.DAT"],
     Fixed(BANNER + "\nPANIC: Modelfile would replace a file of the run: B.DAT\n", 5),
     {"A.DAT": DATA, "B.DAT": DATA})
case("save_model_over_a_result_file_is_refused", ["T.DAT", "-W", "--save-model=T.BKC"],
     Fixed(BANNER + "LEARN> Number of iterations:10 \xe0:0.000 \xe1:0.900 Vigilance:0.500 Itp:1.000\n"
           "\nPANIC: Modelfile would replace a file of the run: T.BKC\n", 5), {"T.DAT": DATA})
case("save_model_where_no_file_can_be_made", ["T.DAT", "--save-model=none/m"],
     Fixed(BANNER + "LEARN> Number of iterations:10 \xe0:0.000 \xe1:0.900 Vigilance:0.500 Itp:1.000\n"
           "\nPANIC: Can't create file: none/m\n\n", 5), {"T.DAT": DATA})

# --model runs.
case("save_model_in_a_recall_run", ["N.DAT", "+S.FAC", "-M", "-V0.6", "-Q", "--save-model=recall.model"],
     RecallRun([("N.DAT", NEW_OK)], "2 16\n3 19\n", comp=True, vig="0.6", save="recall.model"),
     {"S.FAC": "2 16\n3 19\n"})
case("model_run_scales_with_stored_ranges_and_clips", ["N.DAT", "--model=model.txt"],
     ModelRun([("N.DAT", NEW_OK)], STORED, quiet=False), {"model.txt": STORED.text()})
case("model_run_takes_i_and_v_over_the_model", ["N.DAT", "--model=model.txt", "-V0", "-I0.5", "-Q"],
     ModelRun([("N.DAT", NEW)], STORED, alpha="0.5", vig="0"), {"model.txt": STORED.text()})
case("model_run_environment_letters_give_way_to_the_model", ["N.DAT", "--model=model.txt", "-V0", "-Q"],
     ModelRun([("N.DAT", NEW)], STORED, vig="0"), {"model.txt": STORED.text()}, env=["FUZZYART=MNI0.5V0.9"])
case("model_run_row_no_category_accepts_stops", ["N.DAT", "--model=model.txt", "-Q"],
     ModelRun([("N.DAT", NEW)], STORED), {"model.txt": STORED.text(), "N.FAF": "earlier\n"})
case("model_run_with_centres_and_debug_1_over_two_files",
     ["A.DAT", "B.DAT", "--model=model.txt", "-W", "-D", "-V0", "-Q"],
     ModelRun([("A.DAT", DATA), ("B.DAT", "1 19\n3 11\n2 14\n")], STORED, vig="0", debug=1, centres=True),
     {"model.txt": STORED.text()})
case("model_run_with_a_constant_column", ["C.DAT", "--model=model.txt", "-V0.5", "-Q"],
     ModelRun([("C.DAT", "1.5 16\n3.5 16\n1 16\n")], STORED, vig="0.5"), {"model.txt": STORED.text()})
SELECTED = Model(3, [0, 2], [0.1, 0.2], [0.5, 0.7], [[0.5, 0.25], [0.0, 1.0]], [4, 1], normalise=True, vig="0.6",
                 alpha="0.125", iterations=3, passes=3, beta="0.5", next_beta=0.125, itp="0.5")
case("model_run_divides_by_row_sums_and_selects_columns", ["S.DAT", "--model=m.txt", "-Q", "--save-model=again"],
     ModelRun([("S.DAT", "3 3.75 3.25\n1 2 7\n2 5 3\n0.5 2 7.5\n")], SELECTED, save="again"),
     {"m.txt": SELECTED.text()})
for letter in "MNX":
    args = ["N.DAT", "--model=model.txt", "-Q" + (letter if letter != "X" else ""), *(["-X1"] if letter == "X" else [])]
    message = ("Can't combine dataswitch (-X) and modelfile (--model=model.txt)." if letter == "X" else
               "Can't combine switch (-%s) and modelfile (--model=model.txt)." % letter)
    case("model_run_refuses_switch_" + letter.lower(), args, usage(message), {"N.DAT": NEW, "model.txt": STORED.text()})
case("model_run_refuses_a_category_file", ["N.DAT", "+N.FAC", "--model=model.txt"],
     usage("Can't combine category/weightfilename (+N.FAC) and modelfile (--model=model.txt)."),
     {"N.DAT": NEW, "model.txt": STORED.text()})

# Bad model files: read once, before the RECALL> line and any data file.
good = STORED.text().decode()
for name, model, info in [
        ("missing", None, "Line 0: no such file"),
        ("empty", "", "Line 1: the file is empty"),
        ("of_another_version", good.replace("fuzzyart-model 1", "fuzzyart-model 2"),
         "Line 1: version \"2\" is not known (this program reads version 1)"),
        ("cut_short", good[:good.index("0.125 0.125")], "Line 19: values of a category: 3, expected 5 (its count and "
         "4 weights) (the file ends within the line)"),
        ("with_nan_weight", good.replace("3 0.25 0.5", "3 nan 0.5"), "Line 18: weight 1 is not a finite number"),
        ("with_too_few_categories", good.replace("categories 2", "categories 3"),
         "Line 20: end after 2 categories, expected 3"),
]:
    inputs = {"N.DAT": NEW}
    if model is not None:
        inputs["model.txt"] = model
    case("bad_model_" + name, ["N.DAT", "--model=model.txt"],
         Fixed(BANNER + "\nPANIC: Bad modelfile: model.txt\nINFO: %s\n" % info, 5), inputs)
case("bad_model_directory", ["N.DAT", "--model=model.txt"],
     Fixed(BANNER + "\nPANIC: Bad modelfile: model.txt\nINFO: Line 0: not a regular file\n", 5), {"N.DAT": NEW},
     setup="mkdir model.txt\n")
case("bad_model_columns_differ_from_the_data", ["W.DAT", "--model=model.txt", "-Q"],
     ModelRun([("W.DAT", "1 2 3\n4 5 6\n")], STORED), {"model.txt": STORED.text(), "W.FAC": "earlier\n"})


def write_case(name, args, run, inputs, env, setup):
    code = run.go()
    d = os.path.join(OUT, name)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(os.path.join(d, "expect"))
    with open(os.path.join(d, "args"), "w") as f:
        f.write("".join(a + "\n" for a in args))
    files = dict(getattr(run, "files", []) or [])
    files.update(inputs)
    for fname, data in files.items():
        os.makedirs(os.path.join(d, "in"), exist_ok=True)
        with open(os.path.join(d, "in", fname), "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode("latin-1"))
    if env:
        with open(os.path.join(d, "env"), "w") as f:
            f.write("".join(e + "\n" for e in env))
    if setup:
        with open(os.path.join(d, "setup.sh"), "w") as f:
            f.write(setup)
    with open(os.path.join(d, "expect", "exit"), "w") as f:
        f.write("%d\n" % code)
    if run.err:
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
    shutil.rmtree(OUT, ignore_errors=True)
    for c in CASES:
        write_case(*c)
    print("%d cases written to %s" % (len(CASES), OUT), file=sys.stderr)
