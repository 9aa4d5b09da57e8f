# k clusters from the categories, and the vigilance scan.
import types

import matplotlib

matplotlib.use("Agg")
import numpy as np  # noqa: E402
import pytest
from sklearn.metrics import adjusted_rand_score, calinski_harabasz_score, davies_bouldin_score, silhouette_score
from sklearn.utils.estimator_checks import parametrize_with_checks
from test_estimator import IRIS

import fuzzyart
from fuzzyart.clustering import _merge

SPECIES = np.arange(150) // 50


@parametrize_with_checks([fuzzyart.FuzzyARTClustering(n_clusters=3)])
def test_scikit_learn_checks(estimator, check):
    check(estimator)


def test_merge_weights_categories_by_their_rows():
    # Two groups of categories; the empty one joins the group its box lies in,
    # (0.925, 0.925) in 0..1, (9.25, 9.25) in data units.
    centres = np.array([[0, 0], [1, 0], [0, 1], [9, 9], [10, 10], [np.nan, np.nan]])
    boxes = np.array([[0, 0, 1, 1]] * 5 + [[0.9, 0.9, 0.05, 0.05]], dtype=np.float32)
    categories = types.SimpleNamespace(cluster_centers_=centres, counts_=np.array([6, 2, 2, 1, 3, 0]), weights_=boxes,
                                       n_features_in_=2, data_min_=np.zeros(2), data_max_=np.full(2, 10.0))
    clusters, means = _merge(categories, 2, 10, np.random.RandomState(0))
    assert clusters[0] == clusters[1] == clusters[2] != clusters[3] == clusters[4] == clusters[5]
    np.testing.assert_allclose(means[[clusters[0], clusters[3]]], [[0.2, 0.2], [9.75, 9.75]])


def test_clusters_of_iris_and_a_row_no_category_accepts():
    model = fuzzyart.FuzzyARTClustering(n_clusters=3, random_state=0)
    labels = model.fit_predict(IRIS)
    assert adjusted_rand_score(SPECIES, labels) > 0.6
    assert model.vigilance_ == 0.9 and model.categories_.n_categories_ > 30
    np.testing.assert_array_equal(model.predict(IRIS), labels)
    # Far outside every box: the category of highest choice answers.
    outside = np.array([[100, -100, 100, -100]], dtype=np.float32)
    assert model.categories_.predict(outside)[0] == -1
    best = model.categories_.predict(outside, vigilance=0)[0]
    assert model.predict(outside)[0] == model.category_clusters_[best]


def test_scan_scores_each_setting_and_reports_the_failed_ones():
    vigilances = [0.3, 0.99, 0.8]
    table = fuzzyart.vigilance_scan(IRIS, vigilances, labels=SPECIES, max_categories=40)
    assert table["vigilance"].tolist() == vigilances
    assert table["error"].tolist() == [None, "Too many categories. Max:40 (max_categories=40; None limits them by memory only)", None]
    assert np.isnan(table.loc[1, ["calinski_harabasz", "davies_bouldin", "silhouette", "ari"]].astype(float)).all()
    alone = fuzzyart.FuzzyART(vigilance=0.8, max_categories=40).fit(IRIS)
    assert table.loc[2, "n_categories"] == alone.n_categories_
    expected = [calinski_harabasz_score(IRIS, alone.labels_), davies_bouldin_score(IRIS, alone.labels_),
                silhouette_score(IRIS, alone.labels_), adjusted_rand_score(SPECIES, alone.labels_)]
    np.testing.assert_allclose(table.loc[2, ["calinski_harabasz", "davies_bouldin", "silhouette", "ari"]].astype(float),
                               expected, rtol=1e-3)
    assert table.equals(fuzzyart.vigilance_scan(IRIS, vigilances, labels=SPECIES, max_categories=40, n_jobs=1))
    ax = fuzzyart.plot.vigilance_scan(None, None, table=table, ax=matplotlib.pyplot.figure().gca())
    assert len(ax.collections[0].get_offsets()) == 1
    matplotlib.pyplot.close("all")


def test_vigilance_for_counts_that_do_not_rise_steadily():
    # On iris the count goes 8 (0.21), 7, 3 (0.23) and 10 (0.51), 9 (0.52):
    # a bisection on the count would be misled by either.
    assert fuzzyart.vigilance_for(IRIS, 9) == 0.52
    assert fuzzyart.vigilance_for(IRIS, 3) == 0.1
    with pytest.warns(UserWarning, match="0.63 gives 12"):
        assert fuzzyart.vigilance_for(IRIS, 13) == 0.63
