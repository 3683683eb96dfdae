#!/bin/sh
# Builds the R package's tarball and runs R CMD check on it; exits 1 when the
# check reports an ERROR or a WARNING, or a NOTE on the compiled code (which
# writes to the console or could end R); other NOTEs are allowed.
#
# R CMD build copies only the package folder, so the check runs on a staged
# copy: r/ without build output, with the library's sources put into
# src/velmar/ by configure. The check log is printed when the check fails.
#
# Usage: r/check_package.sh [folder]
# The work is done in a new folder inside the one named ($TMPDIR or /tmp by
# default), which is removed afterwards unless VELMAR_R_CHECK_KEEP=1.
set -eu

package_dir=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$package_dir")
parent=${1:-${TMPDIR:-/tmp}}
mkdir -p "$parent"
work=$(mktemp -d "$parent/velmar-r-check.XXXXXX")
work=$(cd "$work" && pwd)
if [ "${VELMAR_R_CHECK_KEEP:-0}" = 1 ]; then
  echo "check_package.sh: working in $work"
else
  trap 'rm -rf "$work"' EXIT
fi

mkdir "$work/velmar"
(cd "$package_dir" &&
  tar cf - --exclude=./src/velmar --exclude=./src/Makevars --exclude='*.o' --exclude='*.so' .) |
  (cd "$work/velmar" && tar xf -)
(cd "$work/velmar" && VELMAR_SOURCE_DIR="$root" ./configure && ./cleanup)

# No network, no suggested package that is not installed, at most two compilers.
export _R_CHECK_FORCE_SUGGESTS_=false
export _R_CHECK_CRAN_INCOMING_=false
export _R_CHECK_CRAN_INCOMING_REMOTE_=false
export _R_CHECK_FUTURE_FILE_TIMESTAMPS_=false
export MAKEFLAGS=-j2

cd "$work"
R CMD build --no-build-vignettes --no-manual velmar
tarball=$(ls velmar_*.tar.gz)
status=0
R CMD check --no-manual --no-build-vignettes "$tarball" || status=$?

log=velmar.Rcheck/00check.log
if [ ! -f "$log" ]; then
  echo "check_package.sh: R CMD check left no log" >&2
  exit 1
fi
if [ "$status" -ne 0 ] || grep -q -E '(ERROR|WARNING)$' "$log" || ! grep -q '^Status: ' "$log" ||
   grep -q '^\* checking compiled code \.\.\. NOTE' "$log" ||
   grep '^Status: ' "$log" | grep -q -E 'ERROR|WARNING'; then
  echo "check_package.sh: R CMD check failed; its log follows" >&2
  cat "$log" >&2
  for out in velmar.Rcheck/00install.out velmar.Rcheck/tests/testthat.Rout.fail; do
    [ -f "$out" ] && { echo "== $out" >&2; tail -n 60 "$out" >&2; }
  done
  exit 1
fi
grep '^Status: ' "$log"
