"""The vigilance chosen for the user: one fit per setting, scored.

The fits are independent and the engine runs without the GIL, so they run
side by side on threads; each fit's result is the one it gives alone.
"""
import os
import warnings
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pandas as pd
from scipy import sparse
from sklearn.metrics import adjusted_rand_score
from sklearn.utils.validation import check_array

from . import FuzzyART

# The grid of vigilance_for: 0, 0.01, ..., 0.99, then 0.991 ... 0.999 where
# the categories grow fastest.
GRID = tuple(np.round(np.concatenate([np.arange(0, 100) / 100, 0.99 + np.arange(1, 10) / 1000]), 3))

COLUMNS = ["vigilance", "n_categories", "calinski_harabasz", "davies_bouldin", "silhouette", "ari", "error"]


def vigilance_scan(X, vigilances, labels=None, n_jobs=None, silhouette_sample=4000, random_state=0, **params):
    """Fits ``FuzzyART(vigilance=v, **params)`` on X for every v.

    Returns a DataFrame with one row per vigilance, in the order given:
    ``vigilance``, ``n_categories``, the Calinski-Harabasz and Davies-Bouldin
    indices of the categories on X, their silhouette on a sample of at most
    ``silhouette_sample`` rows (up to 10,000; the silhouette's cost grows
    with its square) drawn with ``random_state``, the adjusted Rand
    index against ``labels`` when given (NaN otherwise), and ``error``: the
    text of the error that stopped the fit ("Too many categories. Max:1024",
    a division by 0, ...), or None. A failed setting has NaN scores; a score
    that needs 2 to n_samples - 1 distinct labels is NaN outside them.
    ``n_jobs``: fits at once (None or -1: one per core).
    """
    X = check_array(X, dtype=np.float32, order="C")
    if not 2 <= silhouette_sample <= 10000:
        raise ValueError(f"silhouette_sample must be between 2 and 10000, not {silhouette_sample!r}")
    vigilances = [float(v) for v in np.atleast_1d(np.asarray(vigilances, dtype=np.float64))]
    if labels is not None:
        labels = np.asarray(labels)
        if len(labels) != len(X):
            raise ValueError(f"labels has {len(labels)} entries for {len(X)} rows")
    sample = None
    if len(X) > silhouette_sample:
        sample = np.sort(np.random.default_rng(random_state).choice(len(X), silhouette_sample, replace=False))
    return _scan(X, vigilances, n_jobs, params, lambda found: _scores(X, found, labels, sample, random_state))


def vigilance_for(X, n_categories, grid=GRID, n_jobs=None, **params):
    """The smallest vigilance of ``grid`` at which ``FuzzyART(**params)``
    learns exactly ``n_categories`` categories on X.

    The count need not rise steadily with the vigilance (the order of the
    rows and the learning rate make it jump back now and then), so every
    point of the grid is fitted and no bisection trusts it to. When no point
    gives the count, the one nearest to it (the smaller vigilance among
    equals) is returned with a warning. The default grid is 0 to 0.99 in
    steps of 0.01, then 0.991 to 0.999 in steps of 0.001.
    """
    X = check_array(X, dtype=np.float32, order="C")
    table = _scan(X, [float(v) for v in grid], n_jobs, params, lambda found: {})
    good = table.dropna(subset=["n_categories"])
    if good.empty:
        raise ValueError(f"No vigilance of the grid could be fitted: {table['error'].iloc[0]}")
    counts = good["n_categories"].astype(np.int64)
    exact = good[counts == n_categories]
    if not exact.empty:
        return float(exact["vigilance"].min())
    gap = (counts - n_categories).abs()
    nearest = good[gap == gap.min()]["vigilance"].min()
    found = int(counts[good["vigilance"] == nearest].iloc[0])
    warnings.warn(f"No vigilance of the grid gives {n_categories} categories; {nearest} gives {found}", stacklevel=2)
    return float(nearest)


def _scan(X, vigilances, n_jobs, params, score):
    """One fit per vigilance on threads, as a table in the vigilances' order."""
    params = {"n_jobs": 1, **params}

    def one(vigilance):
        try:
            model = FuzzyART(vigilance=vigilance, **params)._fit_quietly(X)
        except (RuntimeError, ValueError) as error:
            return dict(vigilance=vigilance, n_categories=None, error=str(error))
        return dict(vigilance=vigilance, n_categories=model.n_categories_, error=None, **score(model.labels_))

    with ThreadPoolExecutor(max_workers=_workers(n_jobs, len(vigilances))) as pool:
        rows = list(pool.map(one, vigilances))
    table = pd.DataFrame(rows, columns=COLUMNS)
    table["n_categories"] = table["n_categories"].astype("Int64")
    return table


def _scores(X, found, labels, sample, random_state):
    scores = dict(calinski_harabasz=np.nan, davies_bouldin=np.nan, silhouette=np.nan, ari=np.nan)
    if labels is not None:
        scores["ari"] = adjusted_rand_score(labels, found)
    _, found = np.unique(found, return_inverse=True)
    groups = int(found.max()) + 1 if len(found) else 0
    if 2 <= groups <= len(X) - 1:
        scores.update(_dispersion_scores(X.astype(np.float64), found, groups))
        rows = X if sample is None else X[sample]
        picked = found if sample is None else found[sample]
        _, picked = np.unique(picked, return_inverse=True)
        if 2 <= picked.max() + 1 <= len(picked) - 1:
            scores["silhouette"] = _silhouette(rows, picked, int(picked.max()) + 1)
    return scores


def _dispersion_scores(X, found, groups):
    """Calinski-Harabasz and Davies-Bouldin as scikit-learn defines them,
    with the per-label sums of one pass over the rows (scikit-learn's loop
    over the labels costs a pass per label: minutes over a scan of
    thousands of categories)."""
    n = len(X)
    sizes = np.bincount(found, minlength=groups).astype(np.float64)
    members = sparse.csr_matrix((np.ones(n), (found, np.arange(n))), shape=(groups, n))
    centres = (members @ X) / sizes[:, None]
    offsets = X - centres[found]
    within = float((offsets**2).sum())
    between = float((sizes * ((centres - X.mean(axis=0)) ** 2).sum(axis=1)).sum())
    ch = 1.0 if within == 0 else between * (n - groups) / (within * (groups - 1))
    spread = np.bincount(found, weights=np.sqrt((offsets**2).sum(axis=1)), minlength=groups) / sizes
    apart = np.sqrt(np.maximum(((centres[:, None, :] - centres[None, :, :]) ** 2).sum(axis=2), 0))
    if np.allclose(spread, 0) or np.allclose(apart, 0):
        return dict(calinski_harabasz=ch, davies_bouldin=0.0)
    np.fill_diagonal(apart, np.inf)
    ratio = (spread[:, None] + spread[None, :]) / apart
    return dict(calinski_harabasz=ch, davies_bouldin=float(ratio.max(axis=1).mean()))


def _silhouette(X, found, groups, chunk=1024):
    """The mean silhouette (Euclidean; 0 for a row alone in its label, as in
    scikit-learn), with the distances to every label summed a block of rows
    at a time over the rows sorted by label."""
    order = np.argsort(found, kind="stable")
    # Single precision: the distances only rank and average, and it halves
    # the memory traffic that sets the pace.
    X, found = X[order].astype(np.float32), found[order]
    sizes = np.bincount(found, minlength=groups)
    starts = np.concatenate([[0], np.cumsum(sizes)[:-1]])
    squares = (X**2).sum(axis=1)
    values = np.empty(len(X))
    for at in range(0, len(X), chunk):
        block = X[at : at + chunk]
        d = block @ X.T
        d *= -2.0
        d += squares[at : at + chunk, None]
        d += squares[None, :]
        np.maximum(d, 0.0, out=d)
        sums = np.add.reduceat(np.sqrt(d, out=d), starts, axis=1).astype(np.float64)
        own = found[at : at + chunk]
        rows = np.arange(len(block))
        inside = sums[rows, own] / np.maximum(sizes[own] - 1, 1)
        means = sums / sizes[None, :]
        means[rows, own] = np.inf
        nearest = means.min(axis=1)
        values[at : at + chunk] = np.where(sizes[own] > 1, (nearest - inside) / np.maximum(inside, nearest), 0.0)
    return float(values.mean())


def _workers(n_jobs, tasks):
    cores = len(os.sched_getaffinity(0))
    if n_jobs is None or n_jobs == -1:
        n_jobs = cores
    elif n_jobs < 0:
        n_jobs = max(1, cores + 1 + n_jobs)
    return max(1, min(int(n_jobs), tasks))
