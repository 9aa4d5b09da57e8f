"""Classification of Dask arrays and DataFrames, partition by partition.

Learning is sequential by nature and stays on one machine: fit on one machine
(or on a sample), then classify on the cluster::

    model = fuzzyart.FuzzyART(vigilance=0.8).fit(sample)
    labels = fuzzyart.dask.predict(model, big)   # lazy, on the active scheduler
"""
import dask
import dask.array as da
import dask.dataframe as dd
import numpy as np
import pandas as pd
from sklearn.utils.validation import check_is_fitted


def _predict_block(block, model):
    # One thread per worker: the workers are the parallelism.
    return model._predict(block, threads=1)


def _label_dtype(model):
    # A classifier's labels are its classes; a clusterer's are categories.
    classes = getattr(model, "classes_", None)
    return np.dtype(np.int64) if classes is None else classes.dtype


def _series_dtype(model):
    dtype = _label_dtype(model)
    return np.dtype(object) if dtype.kind in "USO" else dtype


def _predict_partition(part, model):
    return pd.Series(model._predict(part, threads=1), index=part.index, dtype=_series_dtype(model))


def predict(model, X):
    """The category of every row of a Dask array or DataFrame, lazily.

    Gives a Dask array (for an array) or a Dask Series with the DataFrame's
    index, of labels equal to ``model.predict`` on the same rows: int64
    categories for FuzzyART (-1 where no category accepts a row), classes of
    ``classes_``'s type for FuzzyARTMAP. The model is shipped to the workers
    once, as one task of the graph.
    """
    check_is_fitted(model, "_model")
    shipped = dask.delayed(model, pure=True)
    if isinstance(X, dd.DataFrame):
        return X.map_partitions(_predict_partition, shipped, meta=pd.Series([], dtype=_series_dtype(model)))
    if isinstance(X, da.Array):
        if X.ndim != 2:
            raise ValueError(f"Expected a 2-D array of rows, got {X.ndim} dimensions")
        # A block must hold whole rows.
        X = X.rechunk({1: -1})
        return X.map_blocks(_predict_block, shipped, drop_axis=1, dtype=_label_dtype(model))
    raise TypeError(f"Expected a Dask array or DataFrame, not {type(X).__name__}")
