"""Builds the Python package velmar: python/velmar with the extension velmar._core,
compiled from python/velmar_module.cpp and the library's sources (the same
flags as the CMake build: C++20, no contraction into fused multiply-adds).

A new source file of the library is picked up by the globs in LIBRARY_SOURCES.
"""

import fnmatch
import glob
import os
import re

from setuptools import setup

try:
    from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext

    # Compile the sources in parallel: VELMAR_BUILD_JOBS jobs (default 2).
    ParallelCompile("VELMAR_BUILD_JOBS", default=2).install()

    def extension(name, sources, extra_compile_args, **options):
        return Pybind11Extension(name, sources, cxx_std=20, extra_compile_args=extra_compile_args, **options)

except ImportError:
    # An interpreter without the pybind11 package (one that Debian's
    # python3-pybind11 does not serve, such as a python3 of one's own): the
    # headers of Debian's pybind11-dev in the compiler's include path, and a
    # plain extension with the flags pybind11's helper would give.
    from setuptools import Extension
    from setuptools.command.build_ext import build_ext

    def extension(name, sources, extra_compile_args, **options):
        return Extension(name, sources, language="c++",
                         extra_compile_args=["-std=c++20", "-fvisibility=hidden"] + extra_compile_args, **options)

ROOT = os.path.dirname(os.path.abspath(__file__))

# The library and the engine under it, relative to the repository's root.
LIBRARY_SOURCES = ["library/**/*.cpp", "engine/*.cpp", "engine/exact/*.cpp", "diag/*.cpp"]
# Programs beside the sources that write generated tables (make_start_tables.cpp
# writes start_tables.h): run by hand, not part of the library.
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


version = project_version()
setup(
    version=version,
    package_dir={"": "python"},
    packages=["velmar"],
    package_data={"velmar": ["*.pyi", "py.typed"]},
    ext_modules=[
        extension(
            "velmar._core",
            sources(),
            include_dirs=[ROOT, os.path.join(ROOT, "include")],
            define_macros=[("VELMAR_VERSION", '"%s"' % version)],
            extra_compile_args=["-ffp-contract=off", "-g0"],
        )
    ],
    cmdclass={"build_ext": build_ext},
    # Beside CMake's build folder, not in it or among the sources.
    options={"build": {"build_base": "build-setuptools"}},
    zip_safe=False,
)
