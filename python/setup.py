"""Builds the fuzzyart Python package: the library's own sources compiled into
one extension module, with the flags that keep its results bit-identical to
the command line's."""
import glob
import os

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(here)

# Every floor of the library below the command line; a new file in one of
# them is picked up without touching this list.
library = sorted(
    path for floor in ("base", "data", "engine", "results") for path in glob.glob(os.path.join(root, "src", floor, "*.cpp"))
)

ParallelCompile("NPY_NUM_BUILD_JOBS").install()

engine = Pybind11Extension(
    "fuzzyart._engine",
    [os.path.join("fuzzyart", "_engine.cpp")] + library,
    include_dirs=[os.path.join(root, "include"), os.path.join(root, "src")],
    cxx_std=20,
    # No fused multiply-add, no reordered arithmetic: the results must equal
    # the command line's to the bit. -O3 as in the command line's release
    # build.
    extra_compile_args=["-ffp-contract=off", "-O3", "-DNDEBUG"],
)

# The supervised network's binding is a module of its own, with its own copy
# of the library: the two modules share no C++ types.
supervised = Pybind11Extension(
    "fuzzyart._supervised",
    [os.path.join("fuzzyart", "_supervised.cpp")] + library,
    include_dirs=[os.path.join(root, "include"), os.path.join(root, "src")],
    cxx_std=20,
    extra_compile_args=["-ffp-contract=off", "-O3", "-DNDEBUG"],
)

setup(
    name="fuzzyart",
    version="1.11",
    description="Fuzzy ART neural networks for NumPy, scikit-learn and Dask",
    packages=["fuzzyart"],
    ext_modules=[engine, supervised],
    cmdclass={"build_ext": build_ext},
    python_requires=">=3.11",
    install_requires=["numpy", "scikit-learn"],
    extras_require={"dask": ["dask[array,dataframe]", "distributed"], "plot": ["matplotlib"], "progress": ["tqdm"]},
    zip_safe=False,
)
