#!/usr/bin/env python3
"""Draws the two pictures of the README for the iris data: the categories of
a complement-coded network on the petal columns, and a vigilance scan with
the adjusted Rand index against the species.

    examples/python/iris_pictures.py [OUTPUT_DIRECTORY]   (default: the current directory)
"""
import os
import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
import pandas as pd  # noqa: E402

import fuzzyart  # noqa: E402

examples = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
out = sys.argv[1] if len(sys.argv) > 1 else os.curdir

columns = ["sepal length (cm)", "sepal width (cm)", "petal length (cm)", "petal width (cm)"]
X = pd.DataFrame(fuzzyart.read_data(os.path.join(examples, "iris.dat")), columns=columns)
species = np.loadtxt(os.path.join(examples, "iris.labels"), dtype=int)

model = fuzzyart.FuzzyART(vigilance=0.55, complement_coding=True).fit(X)
fig, ax = plt.subplots(figsize=(6, 4.5), dpi=80)
fuzzyart.plot.categories(model, X, dims=("petal length (cm)", "petal width (cm)"), ax=ax)
fig.tight_layout()
fig.savefig(os.path.join(out, "iris_categories.png"))

fig, ax = plt.subplots(figsize=(6, 4.5), dpi=80)
fuzzyart.plot.vigilance_scan(X, np.round(np.arange(0.30, 0.96, 0.05), 2), labels=species, ax=ax,
                             complement_coding=True)
ax.set_title("iris, complement coding")
fig.tight_layout()
fig.savefig(os.path.join(out, "iris_vigilance.png"))
print(f"wrote iris_categories.png and iris_vigilance.png to {out}")
