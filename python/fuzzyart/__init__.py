"""Fuzzy ART neural networks with fuzzyart's exact engine, in scikit-learn's
conventions.

    >>> import fuzzyart
    >>> X = fuzzyart.read_data("iris.dat")
    >>> model = fuzzyart.FuzzyART(vigilance=0.75).fit(X)
    >>> model.labels_[:3]            # the .FAF's numbers minus 1
    array([0, 0, 0])

The results are those of the command line to the bit. ``fuzzyart.plot`` draws
categories and vigilance scans (matplotlib) and ``fuzzyart.dask`` classifies
Dask arrays and DataFrames on a cluster; both load on first use.
"""
import importlib
import numbers
import os
import sys

import numpy as np
from sklearn.base import BaseEstimator, ClusterMixin
from sklearn.utils.validation import _get_feature_names, check_array, check_is_fitted

from . import _engine

__all__ = ["FuzzyART", "FuzzyARTError", "read_data", "__version__"]
__version__ = _engine.version

FuzzyARTError = _engine.FuzzyARTError

_LAZY = ("dask", "plot")


def __getattr__(name):
    # Dask and matplotlib are heavy imports that most users never need.
    if name in _LAZY:
        return importlib.import_module("." + name, __name__)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


def read_data(path, columns=None):
    """Reads a data file with the command line's reader and checks.

    Returns a float32 array of rows x columns; ``columns`` picks columns by
    their 0-based index, in the order given. Raises ValueError for a file the
    command line refuses ("Bad datafile", "No datarows"), OSError when the
    file cannot be read.
    """
    values = _engine.read_data(os.fspath(path))
    if columns is None:
        return values
    columns = np.asarray(columns, dtype=np.intp).reshape(-1)
    if columns.size == 0 or columns.min() < 0 or columns.max() >= values.shape[1]:
        raise ValueError(f"Columns must be between 0 and {values.shape[1] - 1}: {columns.tolist()}")
    return np.ascontiguousarray(values[:, columns])


class FuzzyART(ClusterMixin, BaseEstimator):
    """Fuzzy ART clustering with the command line's engine.

    Parameters (the command line's switch in brackets)
    ----------
    vigilance : float in 0..1 [-V]
        The match a row needs to join a category; higher gives more, smaller
        categories. Also applies at prediction: a row no category accepts is
        labelled -1.
    alpha : float [-I]
        Choice parameter, added to the denominators of the choice and match
        values. With 0, a row or category whose scaled values are all 0
        raises FuzzyARTError ("Division by 0").
    beta : float > 0 [-G]
        Learning rate of the first pass (1 is fast learning).
    itp : float in (0, 2] [-F]
        Factor applied to beta after every pass.
    n_iter : int >= 1 [-R]
        Learning passes of ``fit``.
    complement_coding : bool [-M]
        Follow each row's scaled values by 1 minus each of them.
    normalise : bool [-N]
        Divide every row by its sum before scaling.
    max_categories : int >= 1
        More categories raise FuzzyARTError ("Too many categories").
    n_jobs : int or None
        Threads of classification; None or -1 for every core.
    verbose : bool
        Show progress per learning pass (a tqdm bar when tqdm is installed).

    Attributes
    ----------
    labels_ : (n_samples,) int64, the category of each row of the last
        ``fit``/``partial_fit`` (-1 where no category accepts it).
    n_categories_ : int
    weights_ : (n_categories, input length) float32, the scaled weights,
        both halves with complement coding.
    counts_ : (n_categories,) int64, rows of the last fit in each category.
    cluster_centers_ : (n_categories, n_features) float64, the mean of each
        category's rows in data units (NaN for a category without rows).
    data_min_, data_max_ : (n_features,) float32, the ranges rows are scaled
        with (after the division by the row sum with ``normalise``).

    Parameters are fixed at ``fit``; ``set_params`` takes effect at the next
    ``fit``, not at ``partial_fit`` or ``predict``.
    """

    def __init__(
        self,
        vigilance=0.5,
        alpha=0.0,
        beta=0.9,
        itp=1.0,
        n_iter=10,
        complement_coding=False,
        normalise=False,
        max_categories=1024,
        n_jobs=None,
        verbose=False,
    ):
        self.vigilance = vigilance
        self.alpha = alpha
        self.beta = beta
        self.itp = itp
        self.n_iter = n_iter
        self.complement_coding = complement_coding
        self.normalise = normalise
        self.max_categories = max_categories
        self.n_jobs = n_jobs
        self.verbose = verbose

    # Learning.

    def fit(self, X, y=None):
        """Learns ``n_iter`` passes over the rows of X, from no categories."""
        return self._learn(X, self.n_iter, fresh=True)

    def partial_fit(self, X, y=None):
        """One more learning pass over new rows.

        The categories are kept and beta goes on shrinking by itp. The first
        call fixes the ranges; rows of later calls are clipped into them.
        """
        return self._learn(X, 1, fresh=not hasattr(self, "_model"))

    @classmethod
    def from_fac(cls, path, X, **params):
        """Loads a category/weight file (.FAC) as the command line's recall does.

        The ranges are X's widened by the stored categories, so that
        ``from_fac(MODEL, X, ...).predict(X)`` gives the categories of
        ``fuzzyart DATA +MODEL`` with the same switches. A .FAC keeps only the
        lower corner of complement-coded categories: each comes back as a
        single point.
        """
        estimator = cls(**params)
        rows = estimator._rows(X)
        model = _engine.Model.load(os.fspath(path), rows, estimator._parameters())
        estimator._commit(model, X, rows, model.prepare(rows, False), estimator._threads())
        return estimator

    def _learn(self, X, passes, fresh):
        # Everything is computed on the side and assigned at the end, so that
        # an error or Ctrl+C leaves the estimator as it was.
        threads = self._threads()
        if fresh:
            rows = self._rows(X)
            try:
                model = _engine.Model.measure(rows, self._parameters())
            except ValueError as error:
                if len(rows) == 1:
                    raise ValueError(f"{error} (n_samples=1: every column is constant)") from None
                raise
            prepared = model.prepare(rows, False)
        else:
            self._check_feature_names(X, reset=False)
            rows = self._rows(X)
            model = self._model.copy()
            prepared = model.prepare(rows, True)
        with _Progress(self.verbose, passes, model.passes) as progress:
            model.learn(prepared, passes, progress)
        self._commit(model, X, rows, prepared, threads)
        return self

    def _commit(self, model, X, rows, prepared, threads):
        labels, counts, centres = model.classify(prepared, threads, True)
        state = dict(vars(self))
        state.pop("feature_names_in_", None)
        names = _get_feature_names(X)
        if names is not None:
            state["feature_names_in_"] = names
        state.update(
            _model=model,
            n_features_in_=rows.shape[1],
            labels_=labels,
            counts_=counts,
            cluster_centers_=centres,
            n_categories_=model.n_categories,
            weights_=model.weights(),
            data_min_=model.min,
            data_max_=model.max,
        )
        # One assignment: a Ctrl+C between two attributes would leave a mix.
        self.__dict__ = state

    # Classification.

    def predict(self, X):
        """The category of every row (-1 where no category accepts it).

        Rows are scaled with the fitted ranges and clipped into 0..1, so a
        row's label never depends on the other rows.
        """
        return self._predict(X, self._threads())

    def _predict(self, X, threads):
        check_is_fitted(self, "_model")
        self._check_feature_names(X, reset=False)
        return self._model.predict(self._rows(X), threads)

    # Files.

    def save_fac(self, path):
        """Writes the category/weight file (.FAC) as the command line does.

        The file is written under a temporary name in the same directory and
        renamed over ``path`` once complete, with the permission bits of the
        file it replaces (a new file gets 0666 less the umask).
        """
        check_is_fitted(self, "_model")
        self._model.save_categories(os.fspath(path), self.counts_.tolist())

    # Helpers.

    def _rows(self, X):
        # NaN and infinity are checked by the engine, which names their row.
        return check_array(X, dtype=np.float32, order="C", force_all_finite=False, ensure_min_samples=0)

    def _parameters(self):
        integers = {"n_iter": self.n_iter, "max_categories": self.max_categories}
        reals = {"vigilance": self.vigilance, "alpha": self.alpha, "beta": self.beta, "itp": self.itp}
        for name, value in integers.items():
            if not isinstance(value, numbers.Integral) or isinstance(value, bool):
                raise TypeError(f"{name} must be an integer, not {value!r}")
        for name, value in reals.items():
            if not isinstance(value, numbers.Real) or isinstance(value, bool):
                raise TypeError(f"{name} must be a number, not {value!r}")
        flags = {"complement_coding": bool(self.complement_coding), "normalise": bool(self.normalise)}
        return {**integers, **reals, **flags}

    def _threads(self):
        if self.n_jobs is None:
            return 0
        if not isinstance(self.n_jobs, numbers.Integral) or self.n_jobs == 0:
            raise ValueError(f"n_jobs must be a non-zero integer or None, not {self.n_jobs!r}")
        if self.n_jobs > 0:
            return int(self.n_jobs)
        return max(1, len(os.sched_getaffinity(0)) + 1 + int(self.n_jobs))


class _Progress:
    """The per-pass report of verbose learning: a tqdm bar when tqdm is
    installed, one line per pass otherwise."""

    def __init__(self, verbose, passes, done):
        self.verbose, self.passes, self.done, self.bar = verbose, passes, done, None

    def __enter__(self):
        if not self.verbose:
            return None
        try:
            from tqdm.auto import tqdm

            self.bar = tqdm(total=self.passes, unit="pass", desc="FuzzyART", file=sys.stderr)
        except ImportError:
            pass
        return self

    def __call__(self, event, number, categories, beta):
        if event == "start":
            return
        if self.bar is not None:
            self.bar.set_postfix(categories=categories, refresh=False)
            self.bar.update(1)
        else:
            print(f"FuzzyART pass {number} of {self.done + self.passes}: {categories} categories", file=sys.stderr)

    def __exit__(self, *exc):
        if self.bar is not None:
            self.bar.close()
        return False

from .artmap import FuzzyARTMAP  # noqa: E402  (it uses FuzzyART and _Progress above)
