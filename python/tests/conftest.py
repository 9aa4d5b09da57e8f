import os
import pathlib
import shutil
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"


@pytest.fixture(scope="session")
def program():
    """The command line the package must agree with: $FUZZYART_PROGRAM (CI
    sets it, so a missing program fails there), else a build in the tree."""
    given = os.environ.get("FUZZYART_PROGRAM")
    for candidate in [given] if given else [ROOT / "build" / "fuzzyart", ROOT / "build-py" / "fuzzyart"]:
        if candidate and os.access(candidate, os.X_OK):
            return str(candidate)
    if given:
        pytest.fail(f"FUZZYART_PROGRAM={given} is not a program")
    pytest.skip("no fuzzyart program built (cmake --build build --target fuzzyart)")


@pytest.fixture
def run(program, tmp_path):
    """Runs the command line in a scratch directory on a data file there (a
    bundled one is copied in first); gives the exit code, the standard error
    and the paths of the result files."""

    def run(data, *switches):
        if not (tmp_path / data).exists():
            shutil.copy(EXAMPLES / data, tmp_path / data)
        done = subprocess.run([program, data, "-Q", *switches], cwd=tmp_path, capture_output=True, text=True)
        stem = tmp_path / data.split(".")[0]
        return done.returncode, done.stderr, {ext: stem.with_suffix(ext) for ext in (".FAF", ".FAC", ".BKC")}

    return run
