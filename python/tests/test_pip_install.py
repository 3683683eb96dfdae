"""pip install of the source tree (pyproject.toml) into a fresh virtual
environment, then an import from another folder. Compiles the library once:
a minute or two on two cores. Run by CTest (test python_pip_install)."""

import os
import shutil
import subprocess
import sys

import pytest


def test_pip_install_into_a_virtual_environment(tmp_path):
    source = os.environ.get("VELMAR_SOURCE_DIR")
    if not source:
        pytest.skip("VELMAR_SOURCE_DIR names no source tree (run through ctest)")
    try:
        import ensurepip  # noqa: F401  (python3-venv provides it on Debian)
    except ImportError:
        pytest.skip("python3-venv is not installed: no virtual environment to install into")
    # A copy of the tracked tree, as a fresh clone has it: no build folders.
    tree = tmp_path / "source"
    shutil.copytree(source, tree, ignore=shutil.ignore_patterns(".git", "build*", "run", "__pycache__",
                                                                "*.egg-info"))
    env = tmp_path / "env"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", str(env)], check=True)
    python = str(env / "bin" / "python")
    subprocess.run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index", "--no-cache-dir",
                    "--quiet", "."], cwd=tree, check=True, env=dict(os.environ, PIP_DISABLE_PIP_VERSION_CHECK="1"))
    code = ("import os, velmar, velmar.tables\n"
            "folder = os.path.dirname(velmar.__file__)\n"
            "print(folder, velmar.land_h(15, 0.4272, 95), *sorted(os.listdir(folder)))")
    clean = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    words = subprocess.run([python, "-c", code], cwd=tmp_path, check=True, capture_output=True, text=True,
                           env=clean).stdout.split()
    assert words[0].startswith(str(env) + os.sep)
    assert round(float(words[1]), 5) == 1.99370
    assert {"__init__.py", "tables.py", "_core.pyi", "py.typed"} <= set(words[2:])
