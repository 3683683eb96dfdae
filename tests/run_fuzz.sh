#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 30) on a copy of its seed corpus, in a temporary
# working folder. Any crash, hang or sanitizer report fails the run, and the
# failing input is printed in base64 so that it can be replayed. The seed is
# fixed (FUZZ_SEED, default 1) so that a run repeats what an earlier one with
# the same seed tried; longer runs with other seeds go further.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${FUZZ_SECONDS:-30}
seed=${FUZZ_SEED:-1}
jobs=$(nproc 2>/dev/null || echo 2)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMAR_FUZZ=ON \
  -DBUILD_TESTING=OFF -DVELMAR_BENCHMARKS=OFF >/dev/null
targets=$(cd fuzz && ls *_fuzz.cpp 2>/dev/null | sed "s/\.cpp$//" || true)
[ -n "$targets" ] || { echo "no fuzz targets"; exit 0; }
cmake --build build-fuzz -j "$jobs" --target $targets

for t in $targets; do
  work=$(mktemp -d)
  mkdir -p "$work/corpus"
  if [ -d "fuzz/corpus/$t" ]; then cp -r "fuzz/corpus/$t/." "$work/corpus/"; fi
  echo "== $t: $seconds s"
  (cd "$work" && "$root/build-fuzz/fuzz/$t" -max_total_time="$seconds" -seed="$seed" -timeout=10 -rss_limit_mb=2048 \
     -print_final_stats=1 corpus 2>&1 | grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Done|Base64|#[0-9]+ 0x.* in [a-zA-Z_]+::" | head -40 )
  rm -rf "$work"
done
