# Classification on a cluster of two worker processes equals the in-memory
# one, for arrays and DataFrames.
import dask.array as da
import dask.dataframe as dd
import numpy as np
import pandas as pd
import pytest
from distributed import Client, LocalCluster
from numpy.testing import assert_array_equal
from test_estimator import IRIS

import fuzzyart


@pytest.fixture(scope="module")
def client():
    with LocalCluster(n_workers=2, processes=True, host="127.0.0.1", threads_per_worker=1,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        yield client


def test_cluster_gives_the_in_memory_categories(client):
    # Rows beyond the fitted ranges too, which are clipped, and some that no
    # category accepts.
    X = np.concatenate([IRIS, IRIS * 1.3, IRIS[::-1] * 0.8])
    columns = ["sepal length", "sepal width", "petal length", "petal width"]
    model = fuzzyart.FuzzyART(vigilance=0.85, complement_coding=True).fit(pd.DataFrame(IRIS, columns=columns))
    expected = model.predict(pd.DataFrame(X, columns=columns))
    assert (expected == -1).any() and (expected >= 0).any()

    labels = fuzzyart.dask.predict(model, da.from_array(X, chunks=(100, 2)))
    assert labels.chunks == ((100, 100, 100, 100, 50),) and labels.dtype == np.int64
    # The model is one task of the graph, not a copy in every block's task.
    assert sum(isinstance(v, fuzzyart.FuzzyART) for v in dict(labels.__dask_graph__()).values()) == 1
    assert_array_equal(labels.compute(), expected)

    frame = dd.from_pandas(pd.DataFrame(X, columns=columns, index=np.arange(len(X)) * 2), npartitions=3)
    series = fuzzyart.dask.predict(model, frame).compute()
    assert_array_equal(series.to_numpy(), expected)
    assert_array_equal(series.index, np.arange(len(X)) * 2)
