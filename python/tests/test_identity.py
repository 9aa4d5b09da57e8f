# The package against the command line on the bundled data: the categories
# of every row, the category/weight file and the centres, for learning and for
# recall, and the model file both ways, over a grid of switches.
import os
import re
import shutil
import subprocess

import numpy as np
import pytest
from conftest import EXAMPLES
from numpy.testing import assert_array_equal

import fuzzyart

SWITCH = {"vigilance": "-V", "alpha": "-I", "beta": "-G", "itp": "-F", "n_iter": "-R",
          "complement_coding": "-M", "normalise": "-N", "random_state": "--shuffle="}


def switches(params):
    return [SWITCH[k] if isinstance(v, bool) else f"{SWITCH[k]}{v}" for k, v in params.items() if k != "shuffle"]


@pytest.fixture
def run(tmp_path):
    # The command line ($FUZZYART_PROGRAM, which CI sets, or a build in the
    # tree) on a data file in a scratch directory: its exit code, its PANIC
    # text and the path of its results without extension.
    program = os.environ.get("FUZZYART_PROGRAM", str(EXAMPLES.parent / "build" / "fuzzyart"))
    if not os.access(program, os.X_OK) and "FUZZYART_PROGRAM" not in os.environ:
        pytest.skip("no fuzzyart program built (cmake --build build --target fuzzyart)")

    def run(data, *args):
        if not (tmp_path / data).exists():
            shutil.copy(EXAMPLES / data, tmp_path)
        done = subprocess.run([program, data, "-Q", *args], cwd=tmp_path, capture_output=True, text=True)
        panic = re.search(r"PANIC: (.*(?:\nINFO: .*)?)", done.stderr)
        return done.returncode, panic and panic.group(1), tmp_path / data.split(".")[0]

    return run


def agree(labels, code, panic, faf):
    # The command line stops at the first row no category accepts and
    # replaces none of its results; the package labels such a row -1 and
    # goes on.
    if code != 0:
        assert "Can't find category (RC)" in panic and (labels == -1).any()
        return
    assert_array_equal(labels, np.loadtxt(faf, dtype=np.int64, ndmin=1) - 1)


LEARNING = [
    dict(vigilance=0.4),
    dict(vigilance=0.75),
    dict(vigilance=0.6, complement_coding=True, alpha=0.001),
    dict(vigilance=0.8, normalise=True, alpha=0.001),
    dict(vigilance=0.9, n_iter=3, beta=1.0, complement_coding=True),
    dict(vigilance=0.7, n_iter=5, beta=0.7, itp=0.5, alpha=0.01),
    dict(vigilance=0.85, n_iter=4, beta=0.4, itp=1.5, complement_coding=True, normalise=True),
    dict(vigilance=0.8, n_iter=2, beta=0.5, complement_coding=True, alpha=0.001),
    dict(vigilance=0.9, n_iter=3, complement_coding=True, shuffle=True, random_state=0),
    dict(vigilance=0.75, shuffle=True, random_state=2**64 - 1),
]


@pytest.mark.parametrize("params", LEARNING, ids=lambda p: "".join(switches(p)))
@pytest.mark.parametrize("data", ["iris.dat", "wine.dat"])
def test_learning_gives_the_command_lines_results(run, tmp_path, data, params):
    code, panic, stem = run(data, "-W", *switches(params))
    X = fuzzyart.read_data(EXAMPLES / data)
    model = fuzzyart.FuzzyART(**params)
    agree(model.fit_predict(X), code, panic, stem.with_suffix(".FAF"))
    if code != 0:
        return
    model.save_fac(tmp_path / "package.FAC")
    assert (tmp_path / "package.FAC").read_bytes() == stem.with_suffix(".FAC").read_bytes()
    centres = np.loadtxt(stem.with_suffix(".BKC"), ndmin=2)
    assert_array_equal(np.vectorize(lambda c: float("%.6G" % c))(model.cluster_centers_), centres)
    assert model.counts_.sum() == len(X)


RECALL = [
    dict(vigilance=0.5, complement_coding=True),
    dict(vigilance=0.75, alpha=0.001),
    dict(vigilance=0.8, normalise=True, alpha=0.001),
    dict(vigilance=0.0, complement_coding=True),
]


@pytest.mark.parametrize("params", RECALL, ids=lambda p: "".join(switches(p)))
@pytest.mark.parametrize("data", ["iris.dat", "wine.dat"])
def test_recall_of_a_stored_file_gives_the_command_lines_categories(run, tmp_path, data, params):
    # Learn on the odd rows, recall the even ones, as the README does.
    rows = [line for line in (EXAMPLES / data).read_text().splitlines(keepends=True) if "!" not in line]
    (tmp_path / "half1.dat").write_text("".join(rows[0::2]))
    (tmp_path / "half2.dat").write_text("".join(rows[1::2]))
    fuzzyart.FuzzyART(**params).fit(fuzzyart.read_data(tmp_path / "half1.dat")).save_fac(tmp_path / "model.FAC")
    code, panic, stem = run("half2.dat", "+model.FAC", *switches(params))
    X = fuzzyart.read_data(tmp_path / "half2.dat")
    agree(fuzzyart.FuzzyART.from_fac(tmp_path / "model.FAC", X, **params).predict(X), code, panic, stem.with_suffix(".FAF"))


MODELS = [(dict(vigilance=0.75, complement_coding=True), []), (dict(vigilance=0.8, normalise=True, alpha=0.001), []),
          (dict(vigilance=0.7, n_iter=3, beta=0.6, itp=0.7, alpha=0.01), []),
          (dict(vigilance=0.85, complement_coding=True), ["-X1,3-4"])]


@pytest.mark.parametrize("params, columns", MODELS, ids=lambda p: "".join(switches(p) if isinstance(p, dict) else p))
def test_model_files_pass_both_ways_between_the_command_line_and_the_package(run, tmp_path, params, columns):
    # Recalled on rows partly beyond the learnt ranges, which both clip.
    np.savetxt(tmp_path / "far.dat", fuzzyart.read_data(EXAMPLES / "iris.dat") * [1.3, 0.8, 1.1, 1.2], fmt="%.4f")
    far = fuzzyart.read_data(tmp_path / "far.dat")
    assert run("iris.dat", "--save-model=cli.model", *columns, *switches(params))[0] == 0
    loaded = fuzzyart.FuzzyART.load(tmp_path / "cli.model")
    code, panic, stem = run("far.dat", "--model=cli.model")
    agree(loaded.predict(far), code, panic, stem.with_suffix(".FAF"))
    if columns:
        return
    assert loaded.get_params() == fuzzyart.FuzzyART(**params, max_categories=1024).get_params()
    learnt = fuzzyart.FuzzyART(**params, max_categories=1024).fit(fuzzyart.read_data(EXAMPLES / "iris.dat"))
    learnt.save(tmp_path / "py.model")
    # The same bytes, so the command line recalls it as it recalls its own.
    assert (tmp_path / "py.model").read_bytes() == (tmp_path / "cli.model").read_bytes()


def test_a_bad_model_file_gives_the_command_lines_message(run, tmp_path, monkeypatch):
    (tmp_path / "bad.model").write_text("fuzzyart-model 1\nkind fuzzyart\ncolumns 0\n")
    code, panic, _ = run("iris.dat", "--model=bad.model")
    monkeypatch.chdir(tmp_path)
    with pytest.raises(ValueError) as error:
        fuzzyart.FuzzyART.load("bad.model")
    assert code == 5 and str(error.value) == panic
    assert panic == "Bad modelfile: bad.model\nINFO: Line 3: columns 0 is not between 1 and 8192"
