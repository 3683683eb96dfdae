#!/usr/bin/env bash
# Installs what is missing, builds everything twice, optimised and under
# AddressSanitizer with UndefinedBehaviorSanitizer, runs every test in both
# builds, then runs the fuzzing targets for a bounded time (FUZZ_SECONDS each).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=ON
cmake --build build-sanitize -j "$jobs"
ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

FUZZ_SECONDS=${FUZZ_SECONDS:-20} tests/run_fuzz.sh
