"""Pictures of Fuzzy ART categories with matplotlib."""
import matplotlib.pyplot as plt
import numpy as np
from matplotlib.patches import Rectangle
from sklearn.utils.validation import check_array, check_is_fitted



def _unscale(w, low, high):
    return low + (high - low) * w


def categories(model, X, dims=(0, 1), ax=None):
    """Draws the rows of X coloured by category on two of their columns, and
    each category: a box from its lower corner w to its upper corner (1 minus
    the complement half) with complement coding, its lower corner as a point
    without. All in data units; rows no category accepts are grey.

    Returns the Axes.
    """
    check_is_fitted(model, "_model")
    X = check_array(X, dtype=np.float32)
    if model.normalise:
        raise ValueError("Categories of row-normalised data have no box in data units")
    a, b = dims
    ax = ax if ax is not None else plt.gca()
    labels = model.predict(X)
    colours = plt.get_cmap("tab20")
    ax.scatter(X[labels < 0, a], X[labels < 0, b], s=12, c="lightgrey", label="no category")
    n = model.n_features_in_
    low, high = model.data_min_.astype(np.float64), model.data_max_.astype(np.float64)
    for j, w in enumerate(model.weights_.astype(np.float64)):
        colour = colours(j % 20)
        rows = labels == j
        ax.scatter(X[rows, a], X[rows, b], s=12, color=colour)
        lower = _unscale(w[:n], low, high)
        if model.complement_coding:
            upper = _unscale(1.0 - w[n:], low, high)
            ax.add_patch(
                Rectangle(
                    (lower[a], lower[b]), upper[a] - lower[a], upper[b] - lower[b], fill=False, edgecolor=colour, lw=1.5
                )
            )
        else:
            ax.plot(lower[a], lower[b], marker="s", color=colour, markeredgecolor="black")
    ax.set_xlabel(f"column {a}")
    ax.set_ylabel(f"column {b}")
    ax.set_title(f"{model.n_categories_} categories, vigilance {model.vigilance}")
    return ax


def vigilance_scan(X, vigilances, labels=None, ax=None, table=None, **params):
    """Draws a vigilance scan (fuzzyart.vigilance_scan with these arguments,
    or the DataFrame ``table`` it returned): the number of categories against
    the vigilance, a red cross at the foot of the axis for every setting
    whose fit failed, and, when true labels are given, the adjusted Rand
    index of the categories on a second axis.

    Returns the Axes.
    """
    from .scan import vigilance_scan as scan

    if table is None:
        table = scan(X, vigilances, labels=labels, **params)
    ax = ax if ax is not None else plt.gca()
    fitted = table[table["error"].isna()]
    ax.plot(fitted["vigilance"], fitted["n_categories"].astype(float), "o-", color="tab:blue")
    failed = table[table["error"].notna()]
    if len(failed):
        ax.scatter(failed["vigilance"], np.zeros(len(failed)), marker="x", color="red", zorder=3,
                   label="failed: " + "; ".join(sorted(set(failed["error"]))))
        ax.legend(loc="upper left", fontsize="small")
    ax.set_xlabel("vigilance")
    ax.set_ylabel("categories", color="tab:blue")
    if table["ari"].notna().any():
        other = ax.twinx()
        other.plot(fitted["vigilance"], fitted["ari"], "s--", color="tab:red")
        other.set_ylabel("adjusted Rand index", color="tab:red")
        other.set_ylim(-0.05, 1.05)
    return ax
