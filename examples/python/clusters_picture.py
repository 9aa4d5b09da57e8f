#!/usr/bin/env python3
"""Draws the README's picture of "Getting good clusters": the iris rows
coloured by the three clusters that FuzzyARTClustering merges from its
categories (each category's box in its cluster's colour), and a vigilance
scan of the same rows with the adjusted Rand index against the species and the settings
that failed (more than 100 categories) marked.

    examples/python/clusters_picture.py OUTPUT_DIRECTORY
"""
import os
import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib.patches import Rectangle  # noqa: E402

import fuzzyart  # noqa: E402

if len(sys.argv) != 2:
    sys.exit(__doc__)
out = sys.argv[1]
root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
X = fuzzyart.read_data(os.path.join(root, "examples", "iris.dat"))
species = np.loadtxt(os.path.join(root, "examples", "iris.labels"), dtype=int)

model = fuzzyart.FuzzyARTClustering(n_clusters=3, random_state=0).fit(X)
categories = model.categories_
fig, (left, right) = plt.subplots(1, 2, figsize=(11, 4.5), dpi=80)
colours = plt.get_cmap("tab10")
n, low, high = X.shape[1], categories.data_min_, categories.data_max_
for j, w in enumerate(categories.weights_):
    lower, upper = low + (high - low) * w[:n], low + (high - low) * (1 - w[n:])
    left.add_patch(Rectangle((lower[2], lower[3]), upper[2] - lower[2], upper[3] - lower[3], fill=False, lw=0.8,
                             edgecolor=colours(model.category_clusters_[j]), alpha=0.6))
left.scatter(X[:, 2], X[:, 3], s=12, c=[colours(c) for c in model.labels_])
left.set_xlabel("petal length (cm)")
left.set_ylabel("petal width (cm)")
left.set_title(f"{categories.n_categories_} categories (vigilance {model.vigilance_}) merged into 3 clusters")

table = fuzzyart.vigilance_scan(X, np.round(np.arange(0.30, 1.0, 0.02), 2), labels=species, complement_coding=True,
                                max_categories=100)
fuzzyart.plot.vigilance_scan(None, None, table=table, ax=right)
right.set_title("vigilance scan, complement coding, at most 100 categories")
fig.tight_layout()
fig.savefig(os.path.join(out, "iris_clusters.png"))
print(f"wrote iris_clusters.png to {out}")
