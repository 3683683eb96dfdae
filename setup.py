"""Builds the Python package velmar: python/velmar with the extension velmar._core,
compiled from python/velmar_module.cpp and the library's sources (the same
flags as the CMake build: C++20, no contraction into fused multiply-adds).

A new source file of the library is picked up by the globs in LIBRARY_SOURCES.
"""

import fnmatch
import glob
import os
import re

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

ROOT = os.path.dirname(os.path.abspath(__file__))

# The library and the engine under it, relative to the repository's root.
LIBRARY_SOURCES = ["library/**/*.cpp", "engine/*.cpp", "engine/exact/*.cpp", "diag/*.cpp"]
# Programs beside the sources that write generated tables (make_pair_starts.cpp
# writes pair_starts.h): run by hand, not part of the library.
GENERATORS = "make_*.cpp"


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as cmake:
        return re.search(r"project\(Velmar VERSION ([0-9.]+)", cmake.read()).group(1)


def sources():
    found = ["python/velmar_module.cpp"]
    for pattern in LIBRARY_SOURCES:
        found += sorted(os.path.relpath(p, ROOT) for p in glob.glob(os.path.join(ROOT, pattern), recursive=True)
                        if not fnmatch.fnmatch(os.path.basename(p), GENERATORS))
    return found


# Compile the sources in parallel: VELMAR_BUILD_JOBS jobs (default 2).
ParallelCompile("VELMAR_BUILD_JOBS", default=2).install()

version = project_version()
setup(
    version=version,
    package_dir={"": "python"},
    packages=["velmar"],
    package_data={"velmar": ["*.pyi", "py.typed"]},
    ext_modules=[
        Pybind11Extension(
            "velmar._core",
            sources(),
            include_dirs=[ROOT, os.path.join(ROOT, "include")],
            define_macros=[("VELMAR_VERSION", '"%s"' % version)],
            cxx_std=20,
            extra_compile_args=["-ffp-contract=off", "-g0"],
        )
    ],
    cmdclass={"build_ext": build_ext},
    # Beside CMake's build folder, not in it or among the sources.
    options={"build": {"build_base": "build-setuptools"}},
    zip_safe=False,
)
