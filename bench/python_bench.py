#!/usr/bin/env python3
"""The Python package's speed and memory, side by side in one run.

    bench/python_bench.py [--program build-py/fuzzyart] [--work /tmp/fuzzyart-bench] [--skip-memory]

Speed: fit + predict with fuzzyart.FuzzyART against a straightforward
vectorised NumPy Fuzzy ART (one row at a time, all categories at once), on
the wine data repeated to 100,000 rows and on a generated 1,000,000-row set;
and the command line on the same data file against read_data + fit, which do
the same work (reading, learning, the final classification). Build the
program first:

    cmake -S . -B build-py -DCMAKE_BUILD_TYPE=Release && cmake --build build-py -j2 --target fuzzyart

Memory: predict on a Dask array of 10,000,000 rows on a local cluster of two
worker processes, each worker's resident memory sampled while it runs.
"""
import argparse
import os
import subprocess
import threading
import time

import numpy as np

import fuzzyart

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


# The NumPy baseline: the textbook algorithm, vectorised over the categories.
def numpy_learn(P, vigilance, alpha, beta, passes, itp):
    W = np.zeros((1024, P.shape[1]), np.float32)
    wsum = np.zeros(1024, np.float32)
    n = 0
    for _ in range(passes):
        for x in P:
            xs = x.sum()
            if n:
                num = np.minimum(x, W[:n]).sum(axis=1)
                choice = num / (alpha + wsum[:n])
                choice[num < vigilance * xs] = -np.inf
                j = int(np.argmax(choice))
                if choice[j] > -np.inf:
                    W[j] = beta * np.minimum(x, W[j]) + (1 - beta) * W[j]
                    wsum[j] = W[j].sum()
                    continue
            W[n], wsum[n] = x, xs
            n += 1
        beta *= itp
    return W[:n], wsum[:n]


def numpy_predict(P, W, wsum, vigilance, alpha):
    labels = np.empty(len(P), np.int64)
    for i, x in enumerate(P):
        num = np.minimum(x, W).sum(axis=1)
        choice = num / (alpha + wsum)
        choice[num < vigilance * x.sum()] = -np.inf
        j = int(np.argmax(choice))
        labels[i] = j if choice[j] > -np.inf else -1
    return labels


def numpy_fit_predict(X, params):
    lo, hi = X.min(0), X.max(0)
    P = ((X - lo) / (hi - lo)).astype(np.float32)
    if params.get("complement_coding"):
        P = np.hstack([P, 1 - P])
    W, wsum = numpy_learn(P, params["vigilance"], params.get("alpha", 0.0), params.get("beta", 0.9),
                          params.get("n_iter", 10), params.get("itp", 1.0))
    numpy_predict(P, W, wsum, params["vigilance"], params.get("alpha", 0.0))
    return len(W)


def timed(work):
    start = time.perf_counter()
    result = work()
    return time.perf_counter() - start, result


def make_data(work):
    """wine.dat repeated to 100,000 rows, and 1,000,000 rows x 8 columns from
    a mixture of 40 clusters (the style of bench/make_data.py)."""
    wine = os.path.join(work, "wine100k.dat")
    if not os.path.exists(wine):
        rows = [line for line in open(os.path.join(ROOT, "examples", "wine.dat")) if "!" not in line and line.strip()]
        with open(wine, "w") as out:
            out.writelines(rows[i % len(rows)] for i in range(100_000))
    mixture = os.path.join(work, "mixture1m.dat")
    if not os.path.exists(mixture):
        rng = np.random.default_rng(1)
        centres = rng.uniform(0.0, 10.0, size=(40, 8))
        X = centres[rng.integers(0, 40, 1_000_000)] + rng.normal(0.0, 0.6, size=(1_000_000, 8))
        np.savetxt(mixture, X, fmt="%.4f")
    return wine, mixture


def switches(params):
    letters = {"vigilance": "V", "alpha": "I", "beta": "G", "itp": "F", "n_iter": "R"}
    out = [f"-{letters[k]}{v}" for k, v in params.items() if k in letters]
    return out + (["-M"] if params.get("complement_coding") else [])


def speed(program, work):
    wine, mixture = make_data(work)
    cases = [
        ("wine x 100,000", wine, dict(vigilance=0.75, alpha=0.001, n_iter=10)),
        ("mixture 1,000,000", mixture, dict(vigilance=0.5, alpha=0.001, n_iter=3, complement_coding=True)),
    ]
    print("| data | rows | passes | categories | NumPy fit+predict | fuzzyart fit+predict | ratio "
          "| command line | read_data + fit | Python / command line |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for name, path, params in cases:
        X = fuzzyart.read_data(path)
        rows = len(X)
        t_numpy, numpy_categories = timed(lambda: numpy_fit_predict(X, params))
        model = fuzzyart.FuzzyART(**params)
        t_fuzzy, _ = timed(lambda: model.fit(X).predict(X))
        # Alternate the two, best of three each, so that a busy neighbour on
        # the shared machine weighs on both alike.
        t_cli, t_py = [], []
        for _ in range(3):
            t_cli.append(timed(lambda: subprocess.run([program, path, "-Q", *switches(params)], check=True,
                                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))[0])
            t_py.append(timed(lambda: fuzzyart.FuzzyART(**params).fit(fuzzyart.read_data(path)))[0])
        print(f"| {name} | {rows:,} | {params['n_iter']} | {model.n_categories_} (NumPy {numpy_categories}) "
              f"| {rows / t_numpy:,.0f} rows/s ({t_numpy:.1f} s) | {rows / t_fuzzy:,.0f} rows/s ({t_fuzzy:.2f} s) "
              f"| {t_numpy / t_fuzzy:,.0f}x | {min(t_cli):.2f} s | {min(t_py):.2f} s | {min(t_py) / min(t_cli):.2f} |",
              flush=True)


def memory(rows=10_000_000):
    import dask.array as da
    from distributed import Client, LocalCluster

    def rss():
        import psutil

        return psutil.Process().memory_info().rss

    model = fuzzyart.FuzzyART(vigilance=0.3, alpha=0.001, complement_coding=True)
    model.fit(np.random.default_rng(2).random((20_000, 8), dtype=np.float32))
    with LocalCluster(n_workers=2, processes=True, host="127.0.0.1", threads_per_worker=1,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        for n in (rows // 4, rows):
            X = da.random.RandomState(3).random_sample((n, 8), chunks=(250_000, 8)).astype(np.float32)
            before = client.run(rss)
            peak = dict(before)
            done = threading.Event()

            def sample():
                while not done.is_set():
                    for worker, value in client.run(rss).items():
                        peak[worker] = max(peak[worker], value)
                    time.sleep(0.1)

            sampler = threading.Thread(target=sample)
            sampler.start()
            t, counts = timed(lambda: da.bincount(fuzzyart.dask.predict(model, X) + 1).compute())
            done.set()
            sampler.join()
            print(f"dask predict of {n:,} rows x 8 ({model.n_categories_} categories) in {t:.1f} s, "
                  f"{int(counts[0])} rows without category")
            for worker in sorted(before):
                print(f"  worker {worker}: {before[worker] / 2**20:.0f} MiB before, peak {peak[worker] / 2**20:.0f} MiB")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default=os.path.join(ROOT, "build-py", "fuzzyart"))
    parser.add_argument("--work", default="/tmp/fuzzyart-bench")
    parser.add_argument("--skip-memory", action="store_true")
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    speed(args.program, args.work)
    if not args.skip_memory:
        memory()


if __name__ == "__main__":
    main()
