# FuzzyARTMAP: scikit-learn's checks, errors that change nothing, labels of
# any kind through online learning, pickles and the model file.
import pickle

import dask
import dask.array as da
import numpy as np
import pytest
from conftest import EXAMPLES
from numpy.testing import assert_array_equal
from sklearn.utils.estimator_checks import parametrize_with_checks

import fuzzyart
from fuzzyart import FuzzyARTMAP

WINE = fuzzyart.read_data(EXAMPLES / "wine.dat")
CULTIVAR = np.loadtxt(EXAMPLES / "wine.labels", dtype=np.int64)
NAMES = np.array(["barolo", "grignolino", "barbera"])[CULTIVAR]


@parametrize_with_checks([FuzzyARTMAP()])
def test_scikit_learn_checks(estimator, check):
    check(estimator)


ROWS = np.array([[1.0, 2.0], [3.0, 1.0], [2.0, 5.0], [4.0, 4.0]])
LABELS = np.array(["a", "b", "a", "b"])
with_nan, constant = ROWS.copy(), ROWS.copy()
with_nan[3, 1], constant[:, 1] = np.nan, 7.0


@pytest.mark.parametrize(
    "params, X, y, message",
    [
        (dict(vigilance=1.2), ROWS, LABELS, r"^The vigilance parameter must be between 0 and 1: Value=1\.200$"),
        (dict(beta=1.5), ROWS, LABELS, "^The learning rate parameter must be at most 1"),
        (dict(match_tracking="MT"), ROWS, LABELS, "match_tracking must be"),
        ({}, with_nan, LABELS, "^Input contains NaN at row 3, column 1$"),
        ({}, constant, LABELS, r"^Column 1 is constant \(7 in every row\); FuzzyARTMAP needs every column to vary$"),
        ({}, ROWS[:, 0], LABELS, "Expected 2D array"),
        ({}, ROWS, ["a"] * 4, "one class"),
        ({}, np.zeros((0, 2)), [], "^No datarows in datafile: X$"),
        ({}, ROWS, [0.5, 1.5, 2.5, 3.25], "Unknown label type"),
    ],
)
def test_errors_leave_a_fitted_estimator_as_it_was(params, X, y, message):
    model = FuzzyARTMAP().fit(WINE[:, :2], CULTIVAR)
    before = dict(vars(model))
    with pytest.raises(ValueError, match=message):
        model.set_params(**params).fit(X, y)
    model.set_params(**{k: before[k] for k in params})
    assert vars(model).keys() == before.keys() and all(vars(model)[k] is before[k] for k in before)
    with pytest.raises(ValueError, match=r"^y holds labels that are not among the classes: \[7\]$"):
        model.partial_fit(WINE[:3, :2], [0, 1, 7])
    assert all(vars(model)[k] is before[k] for k in before)
    assert model.partial_fit(WINE[:3, :2] * 100, [0, 1, 2]).n_features_in_ == 2  # clipped, not refused


def test_online_learning_with_text_classes_equals_passes_of_fit():
    passes = FuzzyARTMAP(n_iter=2, beta=0.5, itp=0.8, vigilance=0.5).fit(WINE, NAMES)
    online = FuzzyARTMAP(beta=0.5, itp=0.8, vigilance=0.5).partial_fit(WINE, NAMES, classes=np.unique(NAMES))
    online = pickle.loads(pickle.dumps(online)).partial_fit(WINE, NAMES)
    assert_array_equal(online.weights_, passes.weights_)
    assert_array_equal(online.category_labels_, passes.category_labels_)
    assert list(passes.classes_) == ["barbera", "barolo", "grignolino"]
    assert passes.counts_.sum() == len(WINE) and passes.n_categories_ == len(passes.category_labels_)
    # Rows beyond the ranges are clipped, as FuzzyART clips them.
    assert_array_equal(passes.predict(WINE * 100), passes.predict(np.tile(passes.data_max_, (len(WINE), 1))))
    lazy = fuzzyart.dask.predict(passes, da.from_array(WINE * 0.9, chunks=(50, 13)))
    assert lazy.dtype == passes.classes_.dtype
    with dask.config.set(scheduler="synchronous"):
        assert_array_equal(lazy.compute(), passes.predict(WINE * 0.9))


@pytest.mark.parametrize("y", [NAMES, CULTIVAR * 10 - 5, CULTIVAR * 2.0 - 1, np.array(["", "a b\n", "%é\udcff"])[CULTIVAR]])
def test_model_file_keeps_the_classes_and_the_labels(tmp_path, y):
    model = FuzzyARTMAP(vigilance=0.7, match_tracking="MT-", n_jobs=1).fit(WINE[::2], y[::2])
    model.save(tmp_path / "m.model")
    back = FuzzyARTMAP.load(tmp_path / "m.model")
    assert back.get_params() == model.get_params() | dict(n_jobs=None)
    assert back.classes_.dtype.kind == model.classes_.dtype.kind
    assert_array_equal(back.predict(WINE), model.predict(WINE))
    assert_array_equal(back.weights_, model.weights_)
    assert_array_equal(back.counts_, model.counts_)
    # The file's own category lines give the same classes as the estimator.
    lines = (tmp_path / "m.model").read_text().splitlines()
    first = lines.index(f"categories {model.n_categories_}") + 1
    assert [int(line.split()[1]) for line in lines[first:-1]] == [
        list(model.classes_).index(c) for c in model.category_labels_
    ]


def test_a_model_file_written_by_hand_classifies_as_worked_out_by_hand():
    # Scaled, (1.5, 16) lies in the first category's box, choice 1.5 / 1.501
    # against 1.225 / 1.751; (3.5, 19) is nearer the second, 1.725 / 1.751
    # against 0.975 / 1.501.
    model = FuzzyARTMAP.load(EXAMPLES.parent / "tests/data/e2e/model/model_run_refuses_a_supervised_model/in/model.txt")
    assert model.predict([[1.5, 16], [3.5, 19]]).tolist() == ["a", "b c"]
    assert model.category_labels_.tolist() == ["a", "b c"] and model.counts_.tolist() == [3, 2]


def test_other_files_and_bad_pickles_are_refused(tmp_path):
    fuzzy = EXAMPLES.parent / "tests/data/e2e/model/bad_model_of_another_version/in/model.txt"
    (tmp_path / "art.model").write_text(fuzzy.read_text().replace("fuzzyart-model 2", "fuzzyart-model 1"))
    with pytest.raises(ValueError, match="Line 2: a Fuzzy ART model .kind fuzzyart. without class labels"):
        FuzzyARTMAP.load(tmp_path / "art.model")
    model = FuzzyARTMAP().fit(WINE, CULTIVAR)
    state = model.__getstate__()
    for change, message in [
        (dict(classes_=model.classes_[:2]), "classes_ does not match"),
        (dict(classes_=np.array([0, 0, 1])), "repeats a class"),
        (dict(n_features_in_=4), "n_features_in_ does not match"),
    ]:
        with pytest.raises(ValueError, match=message):
            FuzzyARTMAP().__setstate__(state | change)
    damaged = pickle.dumps(model).replace(b"vigilance 0\n", b"vigilance 2\n")
    with pytest.raises(ValueError, match="Line 12: vigilance 2 is not between 0 and 1"):
        pickle.loads(damaged)


def test_rows_scaled_a_block_at_a_time_are_counted_from_the_first():
    model = FuzzyARTMAP(normalise=True).fit(WINE, CULTIVAR)
    rows = np.tile(WINE, (30, 1))
    rows[5000] = 0
    with pytest.raises(ValueError, match=r"^Row sum is 0 in datafile: X  Datarow:5000$"):
        model.predict(rows)
