"""Fuzzy ARTMAP classification with fuzzyart's exact supervised engine.

    >>> from fuzzyart import FuzzyARTMAP
    >>> model = FuzzyARTMAP().fit(X_train, y_train)
    >>> model.predict(X_test)                    # y's labels, as classes_ holds them
"""
import numbers
import os
import types

import numpy as np
from sklearn.base import BaseEstimator, ClassifierMixin
from sklearn.utils.multiclass import check_classification_targets
from sklearn.utils.validation import _get_feature_names, check_consistent_length, check_is_fitted, column_or_1d

from . import FuzzyART, _Progress, _supervised

_TRACKING = ("MT+", "MT-", "MT0")


class FuzzyARTMAP(ClassifierMixin, BaseEstimator):
    """Supervised Fuzzy ART (simplified Fuzzy ARTMAP): one Fuzzy ART module
    whose categories each carry a class, learnt online with match tracking.

    A row that would join a category of another class raises its own
    vigilance just past that category's match and searches on; when no
    category is left it founds a new one with its class. Prediction gives the
    class of the category with the largest choice value, whatever its match.

    Parameters
    ----------
    vigilance : float in 0..1
        The baseline vigilance every row starts from.
    alpha : float >= 0
        Choice parameter.
    beta : float in (0, 1]
        Learning rate of the first pass (1 is fast learning).
    itp : float in (0, 2]
        Factor applied to beta after every pass.
    n_iter : int >= 1
        Learning passes of ``fit``.
    epsilon : float >= 0
        Match tracking's step.
    match_tracking : "MT+", "MT-" or "MT0"
        Raise the vigilance to the winner's match plus epsilon, minus
        epsilon, or to the match itself with a strict test.
    complement_coding, normalise : bool
        As in ``FuzzyART``.
    max_categories : int >= 1 or None
        More categories raise FuzzyARTError; None: limited by memory only.
    n_jobs : int or None
        Threads of learning's search and of classification; None or -1 for
        every core. The result is the same for any number.
    verbose : bool
        Show progress per learning pass.

    Attributes
    ----------
    classes_ : the classes, sorted, as ``y`` gave them.
    n_categories_ : int
    category_labels_ : (n_categories,) the class of every category.
    weights_ : (n_categories, input length) float32, the scaled weights.
    counts_ : (n_categories,) int64, rows of the last fit in each category
        when they are classified.
    n_conflicts_ : int, rows of the last pass that matched a category of
        their own class exactly after losing to one of another class, and
        changed nothing (0 after ``load``).
    data_min_, data_max_ : (n_features,) float32, the scaling's ranges.
    """

    def __init__(
        self,
        vigilance=0.0,
        alpha=0.001,
        beta=1.0,
        itp=1.0,
        n_iter=1,
        epsilon=1e-10,
        match_tracking="MT+",
        complement_coding=True,
        normalise=False,
        max_categories=None,
        n_jobs=None,
        verbose=False,
    ):
        self.vigilance = vigilance
        self.alpha = alpha
        self.beta = beta
        self.itp = itp
        self.n_iter = n_iter
        self.epsilon = epsilon
        self.match_tracking = match_tracking
        self.complement_coding = complement_coding
        self.normalise = normalise
        self.max_categories = max_categories
        self.n_jobs = n_jobs
        self.verbose = verbose

    # Learning.

    def fit(self, X, y):
        """Learns ``n_iter`` passes over the rows of X with their classes y,
        from no categories."""
        return self._learn(X, y, self.n_iter, None, fresh=True)

    def partial_fit(self, X, y, classes=None):
        """One more learning pass over new rows.

        The first call fixes the classes (``classes``, else those of y) and
        the ranges; rows of later calls are clipped into them, and their
        labels must be among ``classes_``.
        """
        return self._learn(X, y, 1, classes, fresh=not hasattr(self, "_model"))

    def _learn(self, X, y, passes, classes, fresh):
        # Computed on the side and assigned at once at the end, so that an
        # error or Ctrl+C leaves the estimator as it was.
        parameters = self._parameters()
        if not fresh:
            self._check_feature_names(X, reset=False)
        rows = FuzzyART._rows(self, X)
        if y is None:
            raise ValueError("FuzzyARTMAP requires y to be passed, but the target y is None")
        y = column_or_1d(y, warn=True)
        check_consistent_length(rows, y)
        if fresh:
            found = np.unique(y if classes is None else np.asarray(classes))
            # The kind of target shows in its distinct values (y is 1-D by
            # now): no second pass over a long y.
            if len(rows) > 0:
                check_classification_targets(found)
            if len(rows) > 0 and len(found) < 2:
                raise ValueError(f"FuzzyARTMAP needs at least two classes; y holds one class: {found.tolist()}")
            indices = _indices(found, y)
            model = _supervised.Model.measure(rows, parameters)
            model.set_classes("whole", [str(k) for k in range(len(found))])
        else:
            if classes is not None and not np.array_equal(np.unique(classes), np.sort(self.classes_)):
                raise ValueError(f"classes {np.unique(classes).tolist()} differ from classes_ {self.classes_.tolist()}")
            found = self.classes_
            indices = _indices(found, y)
            model = self._model.copy()
        with _Progress(self.verbose, passes, model.passes) as progress:
            model.learn(rows, indices, passes, not fresh, progress)
        counts = model.classify(rows, parameters["threads"])[1]
        model.set_counts(counts.tolist())
        state = dict(vars(self))
        state.pop("feature_names_in_", None)
        names = _get_feature_names(X)
        if names is not None:
            state["feature_names_in_"] = names
        state.update(_model=model, classes_=found, n_features_in_=rows.shape[1], n_conflicts_=model.conflicts)
        state.update(_derived(model, found))
        self.__dict__ = state
        return self

    # Classification.

    def predict(self, X):
        """The class of every row. Rows are scaled with the fitted ranges and
        clipped into 0..1, so a row's class never depends on the other rows."""
        return self._predict(X, FuzzyART._threads(self))

    def _predict(self, X, threads):
        check_is_fitted(self, "_model")
        self._check_feature_names(X, reset=False)
        if self._model.n_categories == 0:
            # Only a model file made elsewhere can hold no category.
            raise ValueError("The model has no category to classify rows with")
        return self.classes_[self._model.classify(FuzzyART._rows(self, X), threads)[0]]

    # Files.

    def save(self, path):
        """Writes the model file (kind fuzzyartmap): everything to the bit,
        with the classes by value, replacing ``path`` only once complete.

        Classes must be whole numbers of 64 bits (booleans are kept as 0 and
        1), floats, or texts; ValueError otherwise.
        """
        check_is_fitted(self, "_model")
        model = self._model.copy()
        model.set_classes(*_class_names(self.classes_))
        model.save(os.fspath(path))

    @classmethod
    def load(cls, path):
        """Reads a model file of kind fuzzyartmap; ValueError for anything
        else, a Fuzzy ART model file included."""
        model = _supervised.Model.load(os.fspath(path))
        parameters = model.parameters()
        # The shortest decimal of each single-precision value, which reads
        # back to the same bits: alpha=0.001, not 0.0010000000474974513.
        for name in ("vigilance", "alpha", "beta", "itp"):
            parameters[name] = float(str(np.float32(parameters[name])))
        estimator = cls(**parameters)
        classes = _class_values(*model.classes())
        state = dict(vars(estimator))
        state.update(_model=model, classes_=classes, n_features_in_=model.n_features, n_conflicts_=0)
        state.update(_derived(model, classes))
        estimator.__dict__ = state
        return estimator

    def __setstate__(self, state):
        super().__setstate__(state)
        if "_model" not in self.__dict__:
            return
        # The model checked itself as it was unpickled; what lies beside it
        # must fit it, and whatever derives from it is derived again.
        model, classes = self._model, getattr(self, "classes_", None)
        if not isinstance(model, _supervised.Model):
            raise ValueError("Inconsistent FuzzyARTMAP state: _model is not a fuzzyart model")
        if not isinstance(classes, np.ndarray) or classes.ndim != 1 or len(classes) != len(model.classes()[1]):
            raise ValueError("Inconsistent FuzzyARTMAP state: classes_ does not match the model's classes")
        if len(np.unique(classes)) != len(classes):
            raise ValueError("Inconsistent FuzzyARTMAP state: classes_ repeats a class")
        if self.__dict__.get("n_features_in_") != model.n_features:
            raise ValueError("Inconsistent FuzzyARTMAP state: n_features_in_ does not match the model")
        names = self.__dict__.get("feature_names_in_")
        if names is not None and len(names) != model.n_features:
            raise ValueError("Inconsistent FuzzyARTMAP state: feature_names_in_ does not match the model")
        self.__dict__.update(_derived(model, classes))

    def _more_tags(self):
        return {"requires_y": True}

    # Helpers.

    def _parameters(self):
        # FuzzyART's checks of types and of the shared parameters' names.
        limit = self.max_categories
        if limit is not None and (not isinstance(limit, numbers.Integral) or isinstance(limit, bool)):
            raise TypeError(f"max_categories must be an integer or None, not {limit!r}")
        shared = types.SimpleNamespace(
            **{k: getattr(self, k) for k in ("n_iter", "vigilance", "alpha", "beta", "itp", "complement_coding",
                                             "normalise")},
            max_categories=1 if limit is None else limit,
            constant_columns="error",
        )
        parameters = FuzzyART._parameters(shared)
        if not isinstance(self.epsilon, numbers.Real) or isinstance(self.epsilon, bool):
            raise TypeError(f"epsilon must be a number, not {self.epsilon!r}")
        if self.match_tracking not in _TRACKING:
            raise ValueError(f'match_tracking must be "MT+", "MT-" or "MT0", not {self.match_tracking!r}')
        parameters.update(max_categories=limit, epsilon=float(self.epsilon), match_tracking=self.match_tracking,
                          threads=FuzzyART._threads(self))
        return parameters


def _indices(classes, y, chunk=1 << 16):
    """The index of every label of y in classes (which need not be sorted),
    as int32; a chunk at a time, so that the only memory beyond y is the
    result's 4 bytes per row."""
    out = np.empty(len(y), dtype=np.int32)
    if len(y) == 0:
        return out
    order = np.argsort(classes, kind="stable")
    ranked = classes[order]
    for start in range(0, len(y), chunk):
        part = y[start : start + chunk]
        at = np.clip(np.searchsorted(ranked, part), 0, len(ranked) - 1)
        unknown = ranked[at] != part
        if np.any(unknown):
            raise ValueError(f"y holds labels that are not among the classes: {np.unique(part[unknown]).tolist()}")
        out[start : start + chunk] = order[at]
    return out


def _derived(model, classes):
    """The attributes that a model fixes."""
    labels = model.category_labels()
    return dict(
        n_categories_=model.n_categories,
        category_labels_=classes[labels],
        weights_=model.weights(),
        counts_=model.counts,
        data_min_=model.min,
        data_max_=model.max,
    )


def _class_names(classes):
    """The kind of the classes and each as the model file's text."""
    kind = classes.dtype.kind
    values = classes.tolist()
    if kind in "biu" or all(isinstance(v, numbers.Integral) for v in values):
        if any(not -(2**63) <= int(v) < 2**63 for v in values):
            raise ValueError("Classes beyond 64 bits cannot be saved")
        return "whole", [str(int(v)).encode() for v in values]
    if kind == "f" or all(isinstance(v, numbers.Real) for v in values):
        return "number", [repr(float(v)).encode() for v in values]
    if kind in "US" or all(isinstance(v, (str, bytes)) for v in values):
        if len({type(v) for v in values}) > 1:
            raise ValueError("Classes of texts and bytes together cannot be saved")
        return "text", [v if isinstance(v, bytes) else v.encode("utf-8", "surrogatepass") for v in values]
    raise ValueError(f"Classes of type {type(values[0]).__name__} cannot be saved: only numbers and texts can")


def _class_values(kind, names):
    if kind == "whole":
        return np.array([int(n) for n in names], dtype=np.int64)
    if kind == "number":
        return np.array([float(n) for n in names], dtype=np.float64)
    return np.array([n.decode("utf-8", "surrogatepass") for n in names], dtype=str)
