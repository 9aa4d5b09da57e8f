"""Pictures of Fuzzy ART categories with matplotlib."""
import warnings

import matplotlib.pyplot as plt
import numpy as np
from matplotlib.patches import Rectangle
from sklearn.utils.validation import check_array, check_is_fitted



def _unscale(w, low, high):
    return low + (high - low) * w


def _column(dim, names):
    if isinstance(dim, str):
        if names is None or dim not in names:
            raise ValueError(f"No column named {dim!r}: the columns are {names}")
        return names.index(dim)
    return int(dim)


def categories(model, X, dims=(0, 1), ax=None, top=20):
    """Draws the rows of X coloured by category on two of their columns, and
    each category: a box from its lower corner w to its upper corner (1 minus
    the complement half) with complement coding, its lower corner as a point
    without. All in data units; rows no category accepts are grey.

    X may be a DataFrame and ``dims`` its column names; the axes are labelled
    with the column names (of X, else of the fit). With more than ``top``
    categories only the ``top`` that hold most rows of X are drawn, the rows
    of the others in light grey, and the title says so.

    Returns the Axes.
    """
    check_is_fitted(model, "_model")
    if model.normalise:
        raise ValueError("Categories of row-normalised data have no box in data units")
    # Labels of X as given, so that a frame meets the names of the fit.
    labels = model.predict(X)
    names = getattr(X, "columns", None)
    names = [str(c) for c in (names if names is not None else getattr(model, "feature_names_in_", []))] or None
    X = check_array(X, dtype=np.float32)
    a, b = (_column(d, names) for d in dims)
    ax = ax if ax is not None else plt.gca()
    counts = np.bincount(labels[labels >= 0], minlength=model.n_categories_)
    # Largest first; a stable sort keeps the category order among equals.
    shown = np.sort(np.argsort(-counts, kind="stable")[:top])
    colours = plt.get_cmap("tab20")
    # Weights and ranges are per used column (all but for a model file
    # learnt with -X).
    used = list(model._model.columns)
    if a not in used or b not in used:
        raise ValueError(f"The network does not use column {a if a not in used else b}")
    n, column_a, column_b = len(used), a, b
    a, b = used.index(a), used.index(b)
    low, high = model.data_min_.astype(np.float64), model.data_max_.astype(np.float64)
    weights = model.weights_.astype(np.float64)
    if (labels < 0).any():
        ax.scatter(X[labels < 0, column_a], X[labels < 0, column_b], s=12, c="grey", label="no category")
    hidden = (labels >= 0) & ~np.isin(labels, shown)
    if hidden.any():
        ax.scatter(X[hidden, column_a], X[hidden, column_b], s=12, c="lightgrey", label="other categories")
    for place, j in enumerate(shown):
        colour = colours(place % 20)
        rows = labels == j
        ax.scatter(X[rows, column_a], X[rows, column_b], s=12, color=colour, label=f"{j} ({counts[j]} rows)")
        lower = _unscale(weights[j, :n], low, high)
        if model.complement_coding:
            upper = _unscale(1.0 - weights[j, n:], low, high)
            ax.add_patch(
                Rectangle(
                    (lower[a], lower[b]), upper[a] - lower[a], upper[b] - lower[b], fill=False, edgecolor=colour, lw=1.5
                )
            )
        else:
            ax.plot(lower[a], lower[b], marker="s", color=colour, markeredgecolor="black")
    ax.set_xlabel(names[column_a] if names else f"column {column_a}")
    ax.set_ylabel(names[column_b] if names else f"column {column_b}")
    drawn = f", the {len(shown)} largest drawn" if len(shown) < model.n_categories_ else ""
    ax.set_title(f"{model.n_categories_} categories{drawn}, vigilance {model.vigilance}")
    # Beside the axes when a long legend would hide the rows.
    beside = dict(loc="upper left", bbox_to_anchor=(1.01, 1.0), fontsize="x-small") if len(shown) > 6 else {}
    ax.legend(**{"title": "category", "fontsize": "small", **beside})
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
