#!/usr/bin/env python3
"""FuzzyARTMAP against FuzzyART, side by side in one run.

    bench/artmap_bench.py [--rows 1000000] [--repeats 3]

Learning: FuzzyARTMAP.fit(X, y) against FuzzyART.fit(X) with the same
vigilance, alpha, beta and passes, complement coding, on rows of 16 columns
from a mixture of 40 clusters whose class is the cluster's number modulo 4;
the best of `repeats` runs each, alternated so that a busy neighbour weighs
on both alike. Both fits include the final classification of their rows
(counts_). Memory: the peak resident memory during each fit beyond that
before it, at a quarter of the rows and at all of them.

Classification: predict of both on the same categories (FuzzyART's, loaded
into a FuzzyARTMAP through a model file), rows per second.
"""
import argparse
import os
import tempfile
import threading
import time

import numpy as np

import fuzzyart

PAGE = os.sysconf("SC_PAGE_SIZE")


def rss():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * PAGE


def peak_during(work):
    """The time of the work and the peak resident memory beyond the start."""
    start, peak, done = rss(), [0], threading.Event()

    def sample():
        while not done.is_set():
            peak[0] = max(peak[0], rss())
            time.sleep(0.005)

    sampler = threading.Thread(target=sample)
    sampler.start()
    began = time.perf_counter()
    work()
    took = time.perf_counter() - began
    done.set()
    sampler.join()
    return took, max(peak[0], rss()) - start


def make_data(rows):
    rng = np.random.default_rng(5)
    centres = rng.uniform(0.0, 10.0, size=(40, 16))
    cluster = rng.integers(0, 40, rows)
    X = (centres[cluster] + rng.normal(0.0, 0.8, size=(rows, 16))).astype(np.float32)
    return X, cluster % 4


def same_categories(art, artmap, directory):
    """A FuzzyARTMAP holding FuzzyART's categories, each of class 0."""
    path = os.path.join(directory, "same.model")
    artmap.save(path)
    lines = open(path).read().splitlines()
    head = lines[: lines.index(f"categories {artmap.n_categories_}")]
    for k, key in enumerate(head):
        if key.startswith("min "):
            head[k] = "min " + " ".join(repr(float(v)) for v in art.data_min_)
        elif key.startswith("max "):
            head[k] = "max " + " ".join(repr(float(v)) for v in art.data_max_)
    body = [f"0 0 {' '.join(repr(float(w)) for w in row)}" for row in art.weights_]
    with open(path, "w") as out:
        out.write("\n".join(head + [f"categories {len(body)}"] + body + ["end"]) + "\n")
    return fuzzyart.FuzzyARTMAP.load(path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--repeats", type=int, default=3)
    args = parser.parse_args()
    X, y = make_data(args.rows)
    print("| rows | vigilance | passes | FuzzyART categories | FuzzyARTMAP categories | FuzzyART.fit "
          "| FuzzyARTMAP.fit | ratio |")
    print("|---|---|---|---|---|---|---|---|")
    for vigilance in (0.3, 0.5):
        shared = dict(vigilance=vigilance, alpha=0.001, beta=1.0, n_iter=2, complement_coding=True)
        art = fuzzyart.FuzzyART(**shared, max_categories=100_000, n_jobs=-1)
        artmap = fuzzyart.FuzzyARTMAP(**shared, n_jobs=-1)
        t_art, t_map = [], []
        for _ in range(args.repeats):
            t_art.append(peak_during(lambda: art.fit(X))[0])
            t_map.append(peak_during(lambda: artmap.fit(X, y))[0])
        print(f"| {args.rows:,} | {vigilance} | {shared['n_iter']} | {art.n_categories_} | {artmap.n_categories_} "
              f"| {min(t_art):.2f} s | {min(t_map):.2f} s | {min(t_map) / min(t_art):.2f} |", flush=True)

    print()
    print("| rows | input array | FuzzyART.fit peak beyond it | FuzzyARTMAP.fit peak beyond it |")
    print("|---|---|---|---|")
    for n in (args.rows // 4, args.rows):
        part, labels = X[:n].copy(), y[:n].copy()
        extra_art = peak_during(lambda: fuzzyart.FuzzyART(**shared, max_categories=100_000).fit(part))[1]
        extra_map = peak_during(lambda: fuzzyart.FuzzyARTMAP(**shared).fit(part, labels))[1]
        print(f"| {n:,} | {part.nbytes / 2**20:.0f} MiB | {extra_art / 2**20:.0f} MiB | {extra_map / 2**20:.0f} MiB |",
              flush=True)

    with tempfile.TemporaryDirectory() as directory:
        same = same_categories(art, artmap, directory)
    print()
    print("| categories | FuzzyART.predict | FuzzyARTMAP.predict | ratio |")
    print("|---|---|---|---|")
    p_art, p_map = [], []
    for _ in range(args.repeats):
        p_art.append(peak_during(lambda: art.predict(X))[0])
        p_map.append(peak_during(lambda: same.predict(X))[0])
    print(f"| {same.n_categories_} | {len(X) / min(p_art):,.0f} rows/s | {len(X) / min(p_map):,.0f} rows/s "
          f"| {min(p_map) / min(p_art):.2f} |")


if __name__ == "__main__":
    main()
