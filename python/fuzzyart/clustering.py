"""k clusters from Fuzzy ART categories.

Fuzzy ART alone gives as many categories as the vigilance makes, not a number
of clusters chosen by the user. FuzzyARTClustering learns many small
categories (complement coding, shuffled presentation), then merges them into
``n_clusters`` with one global step over the categories, each weighted by its
rows: k-means (Lloyd's algorithm with k-means++ seeding, as in
scikit-learn's KMeans) on the category centres with the counts as sample
weights. This is the two-stage scheme of BIRCH (Zhang, Ramakrishnan and
Livny, SIGMOD 1996: summarise the data in many small clusters, then cluster
the summaries globally) with Fuzzy ART categories as the summaries.

Measured against Ward linkage on the same centres (bench/clusters_bench.py;
scikit-learn's Ward takes no weights), k-means gave the higher median ARI
on iris and breast cancer and a third to a quarter of the spread over
seeds on all three data sets, so it is the method here.
"""
import numbers

import numpy as np
from sklearn.base import BaseEstimator, ClusterMixin
from sklearn.cluster import KMeans
from sklearn.utils import check_random_state
from sklearn.utils.validation import check_is_fitted
from threadpoolctl import threadpool_limits

from . import FuzzyART

# The categories the automatic vigilance aims at, per cluster: enough that
# the merge can follow the clusters' shapes, few enough that learning stays
# fast and each category holds several rows.
_LOW, _HIGH = 10, 50
# The vigilance is chosen on at most this many rows, seeded.
_SAMPLE = 4000
_START = 0.9
_FLOOR = 400


class FuzzyARTClustering(ClusterMixin, BaseEstimator):
    """Fuzzy ART categories merged into ``n_clusters`` clusters.

    Parameters
    ----------
    n_clusters : int >= 1
    vigilance : float in 0..1 or None
        The categories' vigilance; None chooses it from the data: starting at
        0.9, it is raised or lowered (by halving or doubling 1 - vigilance,
        between 0.5 and 0.995) on a seeded sample of at most 4,000 rows until
        the sample gives 10 to 50 categories per cluster (or as many as the
        rows allow). ``vigilance_`` holds the one used.
    n_iter, beta, alpha : as for FuzzyART
        Learning passes (2), learning rate (1: fast learning) and choice
        parameter (0.001, so that rows of zeros are no division by 0).
    max_categories : int
        As for FuzzyART. Where all the rows make more categories than that
        at a chosen vigilance, the vigilance is lowered (1 - vigilance
        doubled, down to 0.5) until they fit.
    n_init : int
        Runs of the k-means merge; the one of least inertia is kept.
    random_state : int, Generator, RandomState or None
        Seeds the shuffled order, the sample and the merge.
    n_jobs : as for FuzzyART.

    Attributes
    ----------
    labels_ : (n_samples,) int64, the cluster of each row, 0..n_clusters-1.
    categories_ : the fitted FuzzyART (complement coding, shuffled).
    category_clusters_ : (n_categories,) int64, the cluster of each category.
    cluster_centers_ : (n_clusters, n_features), the count-weighted means of
        the category centres of each cluster, in data units.
    vigilance_ : float
    """

    def __init__(
        self,
        n_clusters=8,
        vigilance=None,
        n_iter=2,
        beta=1.0,
        alpha=0.001,
        max_categories=4096,
        n_init=10,
        random_state=None,
        n_jobs=None,
    ):
        self.n_clusters = n_clusters
        self.vigilance = vigilance
        self.n_iter = n_iter
        self.beta = beta
        self.alpha = alpha
        self.max_categories = max_categories
        self.n_init = n_init
        self.random_state = random_state
        self.n_jobs = n_jobs

    def fit(self, X, y=None):
        X = self._validate_data(X, dtype=np.float32, order="C")
        k = self.n_clusters
        if not isinstance(k, numbers.Integral) or isinstance(k, bool) or k < 1:
            raise ValueError(f"n_clusters must be an integer of at least 1, not {k!r}")
        if len(X) < k:
            raise ValueError(f"n_samples={len(X)} should be >= n_clusters={k}.")
        rng = check_random_state(self.random_state)
        if self.vigilance is not None:
            vigilance = self.vigilance
            categories = self._fuzzyart(vigilance, rng)._fit_quietly(X)
        else:
            vigilance = self._choose_vigilance(X, rng)
            while True:
                try:
                    categories = self._fuzzyart(vigilance, rng)._fit_quietly(X)
                    break
                except RuntimeError:
                    # All the rows make more categories than the sample
                    # foretold: a lower vigilance, as far as 0.5.
                    if vigilance <= 0.5:
                        raise
                    vigilance = round(max(0.5, 1.0 - 2.0 * (1.0 - vigilance)), 6)
        clusters, centres = _merge(categories, k, self.n_init, rng)
        self.categories_ = categories
        self.category_clusters_ = clusters
        self.cluster_centers_ = centres
        self.vigilance_ = float(vigilance)
        self.labels_ = self._clusters_of(categories.labels_, X)
        return self

    def predict(self, X):
        """The cluster of every row: that of its category, or of the category
        of highest choice where no category accepts the row."""
        check_is_fitted(self, "categories_")
        X = self._validate_data(X, dtype=np.float32, order="C", reset=False)
        return self._clusters_of(self.categories_.predict(X), X)

    # Helpers.

    def _fuzzyart(self, vigilance, rng, max_categories=None):
        return FuzzyART(
            vigilance=vigilance,
            alpha=self.alpha,
            beta=self.beta,
            n_iter=self.n_iter,
            complement_coding=True,
            max_categories=max_categories or self.max_categories,
            n_jobs=self.n_jobs,
            shuffle=True,
            random_state=int(rng.randint(0, 2**31 - 1)),
        )

    def _choose_vigilance(self, X, rng):
        rows = rng.choice(len(X), _SAMPLE, replace=False) if len(X) > _SAMPLE else np.arange(len(X))
        sample = X[np.sort(rows)]
        # A sample of few rows cannot hold 10 categories per cluster; it aims
        # at a category per few rows instead. Up to _FLOOR categories cost
        # little and small data sets gain from them, so the ceiling is never
        # below it.
        low = min(_LOW * self.n_clusters, max(self.n_clusters, len(sample) // 5))
        high = max(low, _HIGH * self.n_clusters, _FLOOR)
        gap = 1.0 - _START
        seen = set()
        while True:
            vigilance = round(1.0 - gap, 6)
            seen.add(vigilance)
            try:
                count = self._fuzzyart(vigilance, rng, max_categories=high + 1)._fit_quietly(sample).n_categories_
            except RuntimeError:
                count = high + 1  # "Too many categories": as many as too many
            if count < low and gap > 0.005:
                gap /= 2
            elif count > high and gap < 0.5:
                gap *= 2
            else:
                return vigilance
            if round(1.0 - gap, 6) in seen:
                # Between two settings, one too few and one too many: the
                # higher vigilance, whose categories the merge can combine.
                return max(vigilance, round(1.0 - gap, 6))

    def _clusters_of(self, labels, X):
        labels = np.asarray(labels, dtype=np.int64)
        missing = labels < 0
        if missing.any():
            labels = labels.copy()
            labels[missing] = _best_by_choice(self.categories_, X[missing])
        return self.category_clusters_[labels]


def _merge(categories, k, n_init, rng):
    """The cluster of every category, by k-means over the category centres
    weighted by their rows, and the clusters' centres.

    A category without rows of the fit (NaN centre) is placed at the middle of
    its box and joins the nearest cluster, with no weight in the merge.
    """
    centres = np.array(categories.cluster_centers_, dtype=np.float64)
    counts = np.asarray(categories.counts_, dtype=np.float64)
    empty = counts == 0
    if empty.any():
        centres[empty] = _box_middles(categories)[empty]
    used = ~empty
    if used.sum() <= k:
        # As many categories as clusters or fewer: each is its own cluster.
        clusters = np.full(len(centres), -1, dtype=np.int64)
        clusters[used] = np.arange(used.sum())
        means = centres[used]
    else:
        kmeans = KMeans(n_clusters=k, n_init=n_init, random_state=int(rng.randint(0, 2**31 - 1)))
        # A few thousand centres at most: one thread is faster than waking
        # a pool (six times, measured on the benchmark's 926 centres), and
        # the result cannot depend on the machine's cores.
        with threadpool_limits(1):
            kmeans.fit(centres[used], sample_weight=counts[used])
        clusters = np.full(len(centres), -1, dtype=np.int64)
        clusters[used] = kmeans.labels_
        means = kmeans.cluster_centers_
    if empty.any():
        distances = ((centres[empty, None, :] - means[None, :, :]) ** 2).sum(axis=2)
        clusters[empty] = distances.argmin(axis=1)
    return clusters, means


def _box_middles(categories):
    n = categories.n_features_in_
    w = categories.weights_.astype(np.float64)
    low, high = categories.data_min_.astype(np.float64), categories.data_max_.astype(np.float64)
    middle = (w[:, :n] + (1.0 - w[:, n:])) / 2.0
    return low + (high - low) * middle


def _best_by_choice(categories, X):
    """The category of highest choice for every row, whatever its match:
    the winner at vigilance 0, where every category accepts every row."""
    return categories.predict(X, vigilance=0)
