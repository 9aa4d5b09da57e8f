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
# Imported under private names, so that dir(fuzzyart) shows only the package.
import importlib as _importlib
import numbers as _numbers
import os as _os
import sys as _sys
import warnings as _warnings

import numpy as _np
from sklearn.base import BaseEstimator as _BaseEstimator
from sklearn.base import ClusterMixin as _ClusterMixin
from sklearn.utils.validation import _get_feature_names, check_array as _check_array
from sklearn.utils.validation import check_is_fitted as _check_is_fitted
from sklearn.utils import check_random_state as _check_random_state

from . import _engine

__all__ = ["FuzzyART", "FuzzyARTMAP", "FuzzyARTError", "read_data", "__version__"]
# k clusters and the scan live in modules of their own, loaded on first use.
_LATER = {"FuzzyARTClustering": "clustering", "vigilance_scan": "scan", "vigilance_for": "scan"}
__all__ += list(_LATER)
__version__ = _engine.version

FuzzyARTError = _engine.FuzzyARTError

_LAZY = ("dask", "plot")
# The largest category limit and number of passes the engine counts to.
_INT_MAX = 2**31 - 1


def __dir__():
    return sorted(__all__ + list(_LAZY))


def __getattr__(name):
    # Dask and matplotlib are heavy imports that most users never need.
    if name in _LAZY:
        return _importlib.import_module("." + name, __name__)
    if name in _LATER:
        return getattr(_importlib.import_module("." + _LATER[name], __name__), name)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


def read_data(path, columns=None):
    """Reads a data file with the command line's reader and checks.

    Returns a float32 array of rows x columns; ``columns`` picks columns by
    their 0-based index, in the order given. Raises ValueError for a file the
    command line refuses ("Bad datafile", "No datarows"), OSError when the
    file cannot be read.
    """
    values = _engine.read_data(_os.fspath(path))
    if columns is None:
        return values
    columns = _np.asarray(columns, dtype=_np.intp).reshape(-1)
    if columns.size == 0 or columns.min() < 0 or columns.max() >= values.shape[1]:
        raise ValueError(f"Columns must be between 0 and {values.shape[1] - 1}: {columns.tolist()}")
    return _np.ascontiguousarray(values[:, columns])


class FuzzyART(_ClusterMixin, _BaseEstimator):
    """Fuzzy ART clustering with the command line's engine.

    Parameters (the command line's switch in brackets)
    ----------
    vigilance : float in 0..1 [-V]
        The match a row needs to join a category; higher gives more, smaller
        categories. Also applies at prediction: a row no category accepts is
        labelled -1 (``predict(X, vigilance=0)`` labels every row).
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
    max_categories : int >= 1 or None
        More categories raise FuzzyARTError ("Too many categories"); None
        (the default) limits them by memory only. The command line allows
        1024.
    constant_columns : "ignore" or "error"
        A column with the same value in every row of ``fit``: "ignore" (the
        default) keeps it, scaled to 0 in every row (a later row with a larger
        value scales to 1), so it takes part in ``weights_`` but tells no
        category from another; "error" raises ValueError, as the command line
        stops ("No dynamic").
    n_jobs : int or None
        Threads of classification; None or -1 for every core.
    verbose : bool
        Show progress per learning pass (a tqdm bar when tqdm is installed).
    shuffle : bool [--shuffle]
        Present the rows of every pass in its own order, drawn from
        ``random_state`` and the pass number; ``labels_`` stay in the rows'
        own order.
    random_state : int in 0..2**64-1, numpy.random.Generator, RandomState or None
        The seed of the shuffled order: an int gives the order of the command
        line's ``--shuffle=SEED``; a generator (or None, NumPy's global one)
        draws a seed at each ``fit``.

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
    ``fit``, not at ``partial_fit`` or ``predict``. Rows are scaled into 0..1
    inside, column by column: a scaler in front of it in a Pipeline is not
    needed (and changes the results only by rounding).
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
        max_categories=None,
        constant_columns="ignore",
        n_jobs=None,
        verbose=False,
        shuffle=False,
        random_state=None,
    ):
        self.vigilance = vigilance
        self.alpha = alpha
        self.beta = beta
        self.itp = itp
        self.n_iter = n_iter
        self.complement_coding = complement_coding
        self.normalise = normalise
        self.max_categories = max_categories
        self.constant_columns = constant_columns
        self.n_jobs = n_jobs
        self.verbose = verbose
        self.shuffle = shuffle
        self.random_state = random_state

    # Learning.

    def fit(self, X, y=None):
        """Learns ``n_iter`` passes over the rows of X, from no categories.

        Warns (UserWarning) when rows are left at -1, where the command line
        would stop with "Can't find category (RC)".
        """
        self._fit_quietly(X)
        left = int((self.labels_ == -1).sum())
        if left:
            _warnings.warn(
                f"{left} of {len(self.labels_)} rows are labelled -1: no category accepts them after learning "
                "(the command line stops at the first with \"Can't find category (RC)\"). "
                "predict(X, vigilance=0) gives every row its best category; a lower vigilance leaves fewer such rows.",
                UserWarning,
                stacklevel=2,
            )
        return self

    def _fit_quietly(self, X):
        # fit without the warning, for the scan and the clusterer: they
        # report such rows in their own way (or give them a cluster).
        return self._learn(X, self.n_iter, fresh=True)

    def partial_fit(self, X, y=None, data_range=None):
        """One more learning pass over new rows.

        The categories are kept and beta goes on shrinking by itp. The first
        call fixes the ranges, X's or ``data_range``, a ``(min, max)`` pair of
        arrays with a value for every column (of the row-normalised values
        with ``normalise``), so that a stream is scaled as its whole would
        be; rows outside the ranges are clipped into them.
        """
        fresh = not hasattr(self, "_model")
        if data_range is not None and not fresh:
            raise ValueError("data_range is taken by the first partial_fit only; the ranges are fixed since")
        return self._learn(X, 1, fresh=fresh, data_range=data_range)

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
        model = _engine.Model.load(_os.fspath(path), rows, estimator._parameters())
        estimator._commit(model, X, rows, model.prepare(rows, False), estimator._threads())
        return estimator

    def _learn(self, X, passes, fresh, data_range=None):
        # Everything is computed on the side and assigned at the end, so that
        # an error or Ctrl+C leaves the estimator as it was.
        threads = self._threads()
        if fresh:
            parameters = self._parameters()
            rows = self._rows(X)
            if len(rows) == 1 and data_range is None:
                raise ValueError("FuzzyART needs at least 2 rows to measure ranges (n_samples=1)")
            model = _engine.Model.measure(rows, parameters, self._known_ranges(data_range, rows.shape[1]))
            prepared = model.prepare(rows, data_range is not None)
            seed = _draw_seed(self.random_state) if self.shuffle else None
        else:
            self._check_feature_names(X, reset=False)
            rows = self._rows(X)
            model = self._model.copy()
            prepared = model.prepare(rows, True)
            seed = getattr(self, "_shuffle_seed", None)
        with _Progress(self.verbose, passes, model.passes) as progress:
            try:
                model.learn(prepared, passes, progress, seed)
            except FuzzyARTError as error:
                if not str(error).startswith("Too many categories"):
                    raise
                limit = model.parameters["max_categories"]
                raise FuzzyARTError(f"{error} (max_categories={limit}; None limits them by memory only)") from None
        self._commit(model, X, rows, prepared, threads, _shuffle_seed=seed)
        return self

    @staticmethod
    def _known_ranges(data_range, columns):
        if data_range is None:
            return None
        try:
            low, high = (_np.asarray(bound, dtype=_np.float32) for bound in data_range)
        except (TypeError, ValueError):
            raise ValueError("data_range must be a (min, max) pair of arrays") from None
        if low.shape != (columns,) or high.shape != (columns,):
            raise ValueError(f"data_range must hold {columns} minima and {columns} maxima, one for every column")
        if not (_np.isfinite(low).all() and _np.isfinite(high).all() and (low <= high).all()):
            raise ValueError("data_range must be finite, each minimum at most its maximum")
        return low, high

    def _commit(self, model, X, rows, prepared, threads, **extra):
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
            **self._network_attributes(model),
            **extra,
        )
        # One assignment: a Ctrl+C between two attributes would leave a mix.
        self.__dict__ = state

    @staticmethod
    def _network_attributes(model):
        return dict(n_categories_=model.n_categories, weights_=model.weights(), data_min_=model.min,
                    data_max_=model.max)

    # Classification.

    def predict(self, X, vigilance=None):
        """The category of every row (-1 where no category accepts it).

        Rows are scaled with the fitted ranges and clipped into 0..1, so a
        row's label never depends on the other rows. ``vigilance`` replaces
        the fitted one for this call only, without learning: 0 gives every
        row the category of its highest choice value.
        """
        return self._predict(X, self._threads(), vigilance)

    def _predict(self, X, threads, vigilance=None):
        _check_is_fitted(self, "_model")
        self._check_feature_names(X, reset=False)
        if vigilance is not None and (not isinstance(vigilance, _numbers.Real) or isinstance(vigilance, bool)):
            raise TypeError(f"vigilance must be a number, not {vigilance!r}")
        return self._model.predict(self._rows(X), threads, vigilance)

    def score(self, X, y=None):
        """The Calinski-Harabasz index of ``predict(X)`` on the scaled rows.

        The ratio of the spread between the categories to the spread within
        them (higher is better), over the rows as the network sees them,
        scaled into 0..1; rows labelled -1 count as one more group. 0 where
        it is not defined: all rows in one group, or every row in its own.
        ``GridSearchCV`` uses it when no ``scoring`` is given; ``y`` is
        ignored.
        """
        _check_is_fitted(self, "_model")
        self._check_feature_names(X, reset=False)
        prepared = self._model.prepare(self._rows(X), True)
        labels = self._model.classify(prepared, self._threads(), False)[0]
        if not 1 < len(_np.unique(labels)) < len(labels):
            return 0.0
        from sklearn.metrics import calinski_harabasz_score

        return float(calinski_harabasz_score(prepared, labels))

    # Files.

    def save(self, path):
        """Writes the model file that ``fuzzyart DATA --model=PATH`` reads.

        It keeps the network whole, to the bit: every weight of both halves,
        the ranges, the parameters and where learning goes on from, with the
        counts of the last fit; ``load`` reads it back. Written under a
        hidden name beside ``path`` and renamed over it once complete.
        """
        _check_is_fitted(self, "_model")
        self._model.save_model(_os.fspath(path), self.counts_.tolist())

    @classmethod
    def load(cls, path):
        """An estimator of a model file (``save``, or the command line's
        ``--save-model``), with the file's parameters.

        ``predict`` gives what ``fuzzyart DATA --model=PATH`` writes to the
        .FAF, minus 1, with -1 where the command line stops; ``partial_fit``
        goes on learning. ``counts_`` are the file's; there is no
        ``labels_`` or ``cluster_centers_`` until a fit. A model learnt on
        some columns (-X) classifies whole rows by those columns. A file it
        cannot use raises ValueError with the command line's message.
        """
        model, counts = _engine.Model.load_model(_os.fspath(path))
        params = model.parameters
        if params["max_categories"] == _INT_MAX:
            params["max_categories"] = None
        estimator = cls(**params)
        estimator.__dict__.update(
            _model=model,
            n_features_in_=model.n_columns,
            counts_=_np.asarray(counts, dtype=_np.int64),
            **cls._network_attributes(model),
        )
        return estimator

    def save_fac(self, path):
        """Writes the category/weight file (.FAC) as the command line does.

        The file is written under a temporary name in the same directory and
        renamed over ``path`` once complete, with the permission bits of the
        file it replaces (a new file gets 0666 less the umask).
        """
        _check_is_fitted(self, "_model")
        self._model.save_categories(_os.fspath(path), self.counts_.tolist())

    def __setstate__(self, state):
        # A pickle is data that anyone may have edited: the network's state is
        # checked by the engine as it is restored, and here the parameters
        # and that every array fits the network, since predict and the
        # pictures trust them.
        # Pickles of earlier releases have no constant_columns.
        state = {"constant_columns": "ignore", **state}
        super().__setstate__(state)
        _engine.check_parameters(self._parameters())
        self._threads()
        model = vars(self).get("_model")
        if model is None:
            return
        k, variables = model.n_categories, model.n_variables
        shapes = dict(weights_=(k, model.input_length), counts_=(k,), data_min_=(variables,),
                      data_max_=(variables,), cluster_centers_=(k, variables))
        for name, shape in shapes.items():
            if name in state and _np.shape(state[name]) != shape:
                raise ValueError(f"Not a fuzzyart model state: {name} of shape {_np.shape(state[name])}, not {shape}")
        if state.get("n_features_in_") != model.n_columns or state.get("n_categories_") != k:
            raise ValueError("Not a fuzzyart model state: n_features_in_ or n_categories_ differs from the network")
        if "labels_" in state and (_np.ndim(state["labels_"]) != 1 or (_np.asarray(state["labels_"]) >= k).any()):
            raise ValueError("Not a fuzzyart model state: labels_ are not categories of the network")

    # Helpers.

    def _rows(self, X):
        # NaN and infinity are checked by the engine, which names their row.
        return _check_array(X, dtype=_np.float32, order="C", force_all_finite=False, ensure_min_samples=0)

    def _parameters(self):
        limit = _INT_MAX if self.max_categories is None else self.max_categories
        integers = {"n_iter": self.n_iter, "max_categories": limit}
        reals = {"vigilance": self.vigilance, "alpha": self.alpha, "beta": self.beta, "itp": self.itp}
        for name, value in integers.items():
            if not isinstance(value, _numbers.Integral) or isinstance(value, bool):
                raise TypeError(f"{name} must be an integer, not {value!r}")
            if not -_INT_MAX - 1 <= value <= _INT_MAX:
                raise ValueError(f"{name} must be between 1 and {_INT_MAX}, not {value}")
        for name, value in reals.items():
            if not isinstance(value, _numbers.Real) or isinstance(value, bool):
                raise TypeError(f"{name} must be a number, not {value!r}")
        if self.constant_columns not in ("ignore", "error"):
            raise ValueError(f"constant_columns must be 'ignore' or 'error', not {self.constant_columns!r}")
        flags = {"complement_coding": bool(self.complement_coding), "normalise": bool(self.normalise)}
        return {**integers, **reals, **flags, "constant_columns": self.constant_columns}

    def _threads(self):
        if self.n_jobs is None:
            return 0
        if not isinstance(self.n_jobs, _numbers.Integral) or self.n_jobs == 0:
            raise ValueError(f"n_jobs must be a non-zero integer or None, not {self.n_jobs!r}")
        if self.n_jobs > 0:
            return int(self.n_jobs)
        return max(1, len(_os.sched_getaffinity(0)) + 1 + int(self.n_jobs))


def _draw_seed(random_state):
    """The 64-bit seed of a shuffled fit: an int as it is, else drawn from
    the generator (scikit-learn's reading of None, an int and a RandomState,
    and NumPy's Generator)."""
    if isinstance(random_state, _numbers.Integral) and not isinstance(random_state, bool):
        if not 0 <= random_state < 2**64:
            raise ValueError(f"random_state must be between 0 and 2**64-1, not {random_state!r}")
        return int(random_state)
    if isinstance(random_state, _np.random.Generator):
        return int(random_state.integers(0, 2**64, dtype=_np.uint64))
    state = _check_random_state(random_state)
    return int(state.randint(0, 2**63 - 1, dtype=_np.int64))


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

            self.bar = tqdm(total=self.passes, unit="pass", desc="FuzzyART", file=_sys.stderr)
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
            print(f"FuzzyART pass {number} of {self.done + self.passes}: {categories} categories", file=_sys.stderr)

    def __exit__(self, *exc):
        if self.bar is not None:
            self.bar.close()
        return False

from .artmap import FuzzyARTMAP  # noqa: E402  (it uses FuzzyART and _Progress above)
