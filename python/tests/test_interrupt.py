# Ctrl+C during a long fit: KeyboardInterrupt within a fraction of a second,
# and the estimator exactly as before the call.
import signal
import subprocess
import sys
import time

import pytest

CHILD = """
import numpy as np, fuzzyart
X = np.random.default_rng(0).random((200_000, 4), dtype=np.float32)
y = (X[:, 0] > 0.5).astype(int)
model = fuzzyart.%s.fit(X[:500], y[:500])
fitted = lambda: {k: v for k, v in vars(model).items() if k.endswith("_") or k == "_model"}
before = fitted()
print("ready", flush=True)
try:
    model.set_params(n_iter=100_000).fit(X, y)
except KeyboardInterrupt:
    after = fitted()
    print("interrupted", after.keys() == before.keys() and all(after[k] is before[k] for k in before), flush=True)
"""


@pytest.mark.parametrize("estimator", ["FuzzyART(vigilance=0.5, beta=1.0, alpha=0.001)", "FuzzyARTMAP(vigilance=0.5)"])
def test_ctrl_c_stops_a_long_fit_quickly_and_changes_nothing(estimator):
    child = subprocess.Popen([sys.executable, "-c", CHILD % estimator], stdout=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "ready\n"
        time.sleep(1.0)  # well into the learning passes
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        line = child.stdout.readline()
        took = time.monotonic() - sent
        assert line == "interrupted True\n"
        assert took < 0.5
    finally:
        child.kill()
        child.wait()
