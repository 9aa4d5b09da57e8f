# The estimator: scikit-learn's checks, errors, online learning, pickling,
# the files, and what `import fuzzyart` loads.
import locale
import os
import pickle
import subprocess
import sys

import numpy as np
import pytest
from conftest import EXAMPLES
from numpy.testing import assert_array_equal
from sklearn import metrics, model_selection, pipeline, preprocessing
from sklearn.utils.estimator_checks import parametrize_with_checks

import fuzzyart
from fuzzyart import FuzzyART, FuzzyARTError

IRIS = fuzzyart.read_data(EXAMPLES / "iris.dat")

# With the command line's default alpha of 0, a row at the minimum of every
# column scales to all zeros and its match value divides by 0; the checks'
# random data (one feature, or rows cast to integers) holds such a row. The
# same checks pass with a small alpha.
DIVISION_BY_ZERO = {"check_estimators_dtypes", "check_fit2d_1feature"}


@parametrize_with_checks([FuzzyART(), FuzzyART(alpha=0.001)])
def test_scikit_learn_checks(estimator, check, request):
    name = getattr(check, "func", check).__name__
    if estimator.alpha == 0 and name in DIVISION_BY_ZERO:
        request.applymarker(pytest.mark.xfail(raises=FuzzyARTError, strict=True, reason="alpha=0 divides by 0"))
    check(estimator)


ROWS = np.array([[1.0, 2.0], [3.0, 1.0], [2.0, 5.0], [4.0, 4.0]])
with_nan, with_inf, constant = ROWS.copy(), ROWS.copy(), ROWS.copy()
with_nan[3, 1], with_inf[2, 0], constant[:, 1] = np.nan, -np.inf, 7.0


@pytest.mark.parametrize(
    "params, X, error, message",
    [
        (dict(vigilance=1.2), ROWS, ValueError, r"^The vigilance parameter must be between 0 and 1: Value=1\.200$"),
        (dict(max_categories=0), ROWS, ValueError, "^The number of categories must be greater than 0: Value=0$"),
        (dict(n_iter=2.5), ROWS, TypeError, "n_iter must be an integer"),
        (dict(vigilance="high"), ROWS, TypeError, "vigilance must be a number"),
        (dict(n_jobs=0), ROWS, ValueError, "n_jobs"),
        ({}, with_nan, ValueError, "^Input contains NaN at row 3, column 1$"),
        ({}, with_inf, ValueError, "^Input contains infinity at row 2, column 0$"),
        (dict(constant_columns="error"), constant, ValueError, r"^Column 1 is constant \(7 in every row\); constant_"),
        (dict(n_iter=2**40), ROWS, ValueError, "^n_iter must be between 1 and 2147483647"),
        (dict(alpha=np.inf), ROWS, ValueError, "^The category choice parameter must be a finite number"),
        (dict(beta=1e39), ROWS, ValueError, "^The learning rate parameter must be a finite number"),
        ({}, ROWS[:1], ValueError, "n_samples=1"),
        ({}, np.zeros((0, 2)), ValueError, "^No datarows in datafile: X$"),
        (dict(normalise=True), [[1, -1], [2, 3]], ValueError, "^Row sum is 0 in datafile: X  Datarow:0$"),
        ({}, [[1, 1], [0, 0]], FuzzyARTError, r"^Division by 0\. Zero/Minvector\. \(Resonance\) Can't continue\.$"),
        (dict(vigilance=1.0, max_categories=3), ROWS, FuzzyARTError, r"^Too many categories. Max:3 \(max_categories=3"),
    ],
)
def test_errors_leave_a_fitted_estimator_as_it_was(params, X, error, message):
    model = FuzzyART(n_jobs=1).fit(ROWS)
    before = dict(vars(model))
    with pytest.raises(error, match=message):
        model.set_params(**params).fit(X)
    model.set_params(**{k: before[k] for k in params})
    assert vars(model) == before


def test_prediction_scales_with_the_fitted_ranges_and_marks_rows_no_category_accepts():
    with pytest.warns(UserWarning, match=r"^3 of 150 rows are labelled -1"):
        model = FuzzyART(vigilance=0.9).fit(IRIS)
    assert_array_equal(model.predict(IRIS), model.labels_)
    # Every row its best category for one call; the network keeps its vigilance.
    assert (model.predict(IRIS, vigilance=0) >= 0).all() and (model.predict(IRIS) == -1).sum() == 3
    far = [[100.0, 0.0, 100.0, 0.0]]
    assert model.predict(far)[0] == -1
    assert model.set_params(vigilance=0.0).fit(IRIS).predict(far)[0] >= 0
    # Clipped into the ranges, a row goes where the corner row goes.
    corner = [[model.data_max_[0], model.data_min_[1], model.data_max_[2], model.data_min_[3]]]
    assert model.predict(far)[0] == model.predict(corner)[0]
    with pytest.raises(ValueError, match="X has 3 features, but FuzzyART is expecting 4 features as input"):
        model.predict(IRIS[:, :3])


@pytest.mark.parametrize("params", [dict(vigilance=0.7, itp=0.5), dict(vigilance=0.8, complement_coding=True)])
def test_online_learning_goes_on_where_it_stopped_across_pickling(params):
    whole = FuzzyART(n_iter=4, **params).fit(IRIS)
    online = FuzzyART(**params)
    for _ in range(2):
        online.partial_fit(IRIS)
    online = pickle.loads(pickle.dumps(online))
    for _ in range(2):
        online.partial_fit(IRIS)
    for name in ("labels_", "weights_", "counts_", "data_min_", "data_max_"):
        assert_array_equal(getattr(online, name), getattr(whole, name))
    # Later batches are clipped into the ranges of the first.
    online.partial_fit(IRIS * 2)
    assert_array_equal(online.data_max_, whole.data_max_)


def test_a_tampered_pickle_is_refused():
    state = FuzzyART(vigilance=0.8).fit(IRIS).__getstate__()
    version, p, s, weights, beta, passes = engine = state["_model"].__getstate__()
    for bad in [(version, (*p[:3], 7.5, *p[4:]), *engine[2:]), (*engine[:5], -1), (*engine[:5], 2**40),
                (version, p, (*s[:2], s[2][:3], *s[3:]), *engine[3:]), (*engine[:3], weights[:-1], beta, passes)]:
        with pytest.raises(ValueError):
            type(state["_model"]).__new__(type(state["_model"])).__setstate__(bad)
    for change in [dict(vigilance=7.5), dict(data_min_=IRIS[0, :3]), dict(labels_=state["labels_"] + 100)]:
        with pytest.raises(ValueError):
            FuzzyART.__new__(FuzzyART).__setstate__({**state, **change})


def test_constant_columns_scale_to_zero_and_change_no_category():
    with_constant = np.insert(IRIS, 2, 5.0, axis=1)
    model = FuzzyART(vigilance=0.8).fit(with_constant)
    assert_array_equal(model.labels_, FuzzyART(vigilance=0.8).fit(IRIS).labels_)
    assert (model.weights_[:, 2] == 0).all()


def test_known_ranges_scale_a_stream_as_its_whole_and_clip_rows_beyond_them():
    low, high = IRIS.min(axis=0), IRIS.max(axis=0)
    online = FuzzyART().partial_fit(IRIS, data_range=(low, high))
    assert_array_equal(online.weights_, FuzzyART(n_iter=1).fit(IRIS).weights_)
    clipped = FuzzyART().partial_fit(np.clip(IRIS * 1.2, low, high), data_range=(low, high))
    assert_array_equal(FuzzyART().partial_fit(IRIS * 1.2, data_range=(low, high)).weights_, clipped.weights_)
    with pytest.raises(ValueError, match="first partial_fit only"):
        online.partial_fit(IRIS, data_range=(low, high))


def test_grid_search_without_scoring_and_a_scaler_in_front():
    search = model_selection.GridSearchCV(pipeline.make_pipeline(preprocessing.StandardScaler(), FuzzyART(alpha=0.001)),
                                          {"fuzzyart__vigilance": [0.3, 0.6, 0.8]}, cv=3).fit(IRIS)
    model = FuzzyART(vigilance=0.6).fit(IRIS)
    scaled = (IRIS - model.data_min_) / (model.data_max_ - model.data_min_)
    assert model.score(IRIS) == pytest.approx(metrics.calinski_harabasz_score(scaled, model.labels_), rel=1e-5)
    assert search.best_score_ > 0 and FuzzyART(vigilance=0).fit(IRIS).score(IRIS) == 0


def test_category_file_is_replaced_whole(tmp_path):
    model = FuzzyART(vigilance=0.75).fit(IRIS)
    target = tmp_path / "model.FAC"
    target.write_text("old\n")
    target.chmod(0o600)
    model.save_fac(target)
    assert [p.name for p in tmp_path.iterdir()] == ["model.FAC"]
    assert target.stat().st_mode & 0o7777 == 0o600
    # Stored to 6 significant digits.
    loaded = FuzzyART.from_fac(target, IRIS, vigilance=0.75)
    np.testing.assert_allclose(loaded.weights_, model.weights_, atol=1e-5)
    with pytest.raises(OSError):
        model.save_fac(tmp_path / "missing" / "model.FAC")
    (tmp_path / "short.FAC").write_text("1 2 3\n")
    with pytest.raises(ValueError, match="^Bad category/weightfile: .*short.FAC$"):
        FuzzyART.from_fac(tmp_path / "short.FAC", IRIS)


def test_a_decimal_comma_locale_changes_no_number(tmp_path):
    plain = FuzzyART(vigilance=0.75, alpha=0.001).fit(IRIS)
    previous = locale.setlocale(locale.LC_NUMERIC)
    (tmp_path / "comma.src").write_text('LC_NUMERIC\ndecimal_point ","\nthousands_sep "."\nEND LC_NUMERIC\n')
    subprocess.run(["localedef", "-c", "-i", tmp_path / "comma.src", "-f", "ANSI_X3.4-1968", tmp_path / "comma"],
                   capture_output=True, check=False)
    os.environ["LOCPATH"] = str(tmp_path)
    try:
        locale.setlocale(locale.LC_NUMERIC, "comma")
        assert locale.localeconv()["decimal_point"] == ","
        model = FuzzyART(vigilance=0.75, alpha=0.001).fit(IRIS)
        with pytest.raises(ValueError, match=r"Value=1\.500$"):
            FuzzyART(vigilance=1.5).fit(IRIS)
    except locale.Error:
        pytest.skip("localedef cannot make a locale with a decimal comma")
    finally:
        locale.setlocale(locale.LC_NUMERIC, previous)
        os.environ.pop("LOCPATH")
    assert_array_equal(model.weights_, plain.weights_)


def test_data_files_are_read_as_the_command_line_reads_them(tmp_path):
    assert IRIS.shape == (150, 4) and IRIS.dtype == np.float32 and IRIS.flags.c_contiguous
    assert_array_equal(fuzzyart.read_data(EXAMPLES / "iris.dat", columns=[3, 0]), IRIS[:, [3, 0]])
    (tmp_path / "bad.dat").write_text("1 2\n3 e4\n")
    for path, columns, error, message in [
        (tmp_path / "bad.dat", None, ValueError, "^Bad datafile: .*bad.dat  Datarow:1$"),
        (tmp_path / "none.dat", None, OSError, "Can't find/open file"),
        (EXAMPLES / "iris.dat", [4], ValueError, "Columns must be between 0 and 3"),
    ]:
        with pytest.raises(error, match=message):
            fuzzyart.read_data(path, columns)


def test_verbose_learning_reports_every_pass_and_import_loads_dask_and_matplotlib_on_use(capsys):
    FuzzyART(n_iter=3, verbose=True).fit(IRIS)
    assert "3/3" in capsys.readouterr().err
    code = "import sys, fuzzyart; assert not {'dask', 'matplotlib'} & set(sys.modules); fuzzyart.plot, fuzzyart.dask"
    subprocess.run([sys.executable, "-c", code + "; assert {'dask', 'matplotlib'} <= set(sys.modules)"], check=True)
    assert fuzzyart.__version__ == "1.11"
    assert set(fuzzyart.__all__) <= set(dir(fuzzyart)) and not {"np", "os", "sys", "secrets"} & set(dir(fuzzyart))
