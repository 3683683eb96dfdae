#!/bin/sh
# Rewrites the expected outputs of every case from the built program, so that
# a change in the numbers can be reviewed as a diff (git diff tests/cli).
#   tests/cli/regenerate.sh [BUILD_FOLDER]     (default: build)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
velmar=$(cd "$build" && pwd)/velmar/Velmar
[ -x "$velmar" ] || { echo "no program at $velmar: build the target Velmar first" >&2; exit 2; }
for c in "$here"/cases/*/; do
    "$here/run_case.sh" "$velmar" "$c" update
done
echo "rewritten: $(ls -d "$here"/cases/*/ | wc -l) cases; review with git diff $here"
