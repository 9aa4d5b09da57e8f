# The pictures: category boxes in data units, and the vigilance scan.
import matplotlib

matplotlib.use("Agg")

import numpy as np  # noqa: E402
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
