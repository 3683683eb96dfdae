#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, where they
# are missing (a fresh Debian machine). Does nothing when all are present.
set -euo pipefail
packages=(
  cmake g++ make pkgconf    # the build
  libgtest-dev              # unit and session tests
  libcli11-dev              # Velmar's command-line arguments
  nlohmann-json3-dev        # JSON output
  libboost-dev              # Boost.Math: the distributions of the summary statistics
  pybind11-dev python3-dev  # the Python module
  python3-numpy python3-pytest
  python3-pybind11 python3-setuptools python3-wheel python3-pip python3-venv  # pip install . and its test
  python3-pandas python3-dask python3-distributed               # tables, and tables on a cluster
  chromium python3-pil      # the report's rendering test (headless, to PNG)
  clang libclang-rt-14-dev  # the libFuzzer runs
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q "${missing[@]}"
fi
