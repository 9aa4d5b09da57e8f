# The pictures: category boxes in data units, and the vigilance scan.
import matplotlib

matplotlib.use("Agg")


import numpy as np  # noqa: E402
import pandas as pd  # noqa: E402
import pytest  # noqa: E402
from test_estimator import IRIS  # noqa: E402

import fuzzyart  # noqa: E402


def test_boxes_hold_their_rows_and_the_scan_counts_categories():
    # With fast learning a category's box is the hull of every row it ever
    # learnt, so it holds the rows it has at the end.
    model = fuzzyart.FuzzyART(vigilance=0.6, beta=1.0, n_iter=30, complement_coding=True).fit(IRIS)
    ax = fuzzyart.plot.categories(model, IRIS, dims=(2, 3))
    assert len(ax.patches) == model.n_categories_
    for j, box in enumerate(ax.patches):
        rows = IRIS[model.labels_ == j][:, [2, 3]]
        low = np.array(box.get_xy())
        high = low + [box.get_width(), box.get_height()]
        assert (rows >= low - 1e-5).all() and (rows <= high + 1e-5).all()

    ax = fuzzyart.plot.vigilance_scan(IRIS, [0.3, 0.9], labels=np.arange(150) // 50)
    assert list(ax.lines[0].get_ydata()) == [fuzzyart.FuzzyART(vigilance=v).fit(IRIS).n_categories_ for v in (0.3, 0.9)]


@pytest.mark.filterwarnings("error")  # scikit-learn's of feature names among them
def test_frames_name_the_axes_and_only_the_largest_categories_are_drawn():
    frame = pd.DataFrame(IRIS, columns=["sl", "sw", "pl", "pw"])
    model = fuzzyart.FuzzyART(vigilance=0.9, beta=1.0, complement_coding=True).fit(frame)
    ax = fuzzyart.plot.categories(model, frame, dims=("pl", "pw"), ax=matplotlib.pyplot.figure().gca(), top=5)
    assert (ax.get_xlabel(), ax.get_ylabel()) == ("pl", "pw") and len(ax.patches) == 5
    assert ax.get_title().startswith(f"{model.n_categories_} categories, the 5 largest drawn")
    top = sorted(np.argsort(-model.counts_, kind="stable")[:5])
    assert [t.get_text() for t in ax.get_legend().get_texts()][-5:] == [f"{j} ({model.counts_[j]} rows)" for j in top]
