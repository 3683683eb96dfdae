# Helpers for the scripted command-line tests: each script is run as
#   sh SCRIPT VELMAR
# in a fresh temporary folder, and fails at its first broken expectation.
set -u
velmar=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# expect STATUS WHAT ARGS...: runs Velmar with ARGS, output to out and err.
expect() {
    want=$1
    what=$2
    shift 2
    "$velmar" "$@" >out 2>err </dev/null
    got=$?
    [ "$got" -eq "$want" ] || fail "$what: exit status $got, expected $want; stderr: $(cat err)"
}

# contains FILE TEXT WHAT
contains() {
    grep -qF -- "$2" "$1" || fail "$3: $1 lacks \"$2\"; it holds: $(head -c 400 "$1")"
}
