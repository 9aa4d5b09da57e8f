#!/usr/bin/env python3
"""Draws the two pictures of the README for the iris data: the categories of
a complement-coded network on the petal columns, and a vigilance scan with
the adjusted Rand index against the species.

    examples/python/iris_pictures.py [OUTPUT_DIRECTORY]   (default: doc/)
"""
import os
import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import fuzzyart  # noqa: E402

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(os.path.dirname(here))
out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "doc")

X = fuzzyart.read_data(os.path.join(root, "examples", "iris.dat"))
species = np.loadtxt(os.path.join(root, "examples", "iris.labels"), dtype=int)

model = fuzzyart.FuzzyART(vigilance=0.55, complement_coding=True).fit(X)
fig, ax = plt.subplots(figsize=(6, 4.5), dpi=80)
fuzzyart.plot.categories(model, X, dims=(2, 3), ax=ax)
ax.set_xlabel("petal length (cm)")
ax.set_ylabel("petal width (cm)")
fig.tight_layout()
fig.savefig(os.path.join(out, "iris_categories.png"))

fig, ax = plt.subplots(figsize=(6, 4.5), dpi=80)
fuzzyart.plot.vigilance_scan(X, np.round(np.arange(0.30, 0.96, 0.05), 2), labels=species, ax=ax,
                             complement_coding=True)
ax.set_title("iris, complement coding")
fig.tight_layout()
fig.savefig(os.path.join(out, "iris_vigilance.png"))
print(f"wrote iris_categories.png and iris_vigilance.png to {out}")
