#!/bin/sh
# Runs one command-line case as a user meets it and compares what it saw.
#   run_case.sh VELMAR CASE_FOLDER [update]
# A case folder holds:
#   args              the arguments, one line, quoted as in a shell
#   stdin             standard input (optional; else empty)
#   files/            files placed in the working folder first (optional)
#   expected_stdout   standard output, byte for byte
#   expected_stderr   standard error, byte for byte
#   expected_status   the exit status
#   expected_files/   files the working folder must then hold (optional)
#   absent            names of files that must not exist afterwards (optional)
# The program runs in a fresh temporary working folder. With "update" the
# case's expectations are rewritten from what the program did.
set -u
velmar=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
case_dir=$(cd "$2" && pwd)
mode=${3:-check}

work=$(mktemp -d)
seen=$(mktemp -d)
trap 'rm -rf "$work" "$seen"' EXIT
[ -d "$case_dir/files" ] && cp -R "$case_dir/files/." "$work/"
input=/dev/null
[ -f "$case_dir/stdin" ] && input="$case_dir/stdin"

cd "$work" || exit 1
eval "set -- $(cat "$case_dir/args")"
"$velmar" "$@" <"$input" >"$seen/stdout" 2>"$seen/stderr"
echo $? >"$seen/status"

if [ "$mode" = update ]; then
    cp "$seen/stdout" "$case_dir/expected_stdout"
    cp "$seen/stderr" "$case_dir/expected_stderr"
    cp "$seen/status" "$case_dir/expected_status"
    if [ -d "$case_dir/expected_files" ]; then
        for f in "$case_dir/expected_files"/*; do
            [ -f "$work/$(basename "$f")" ] && cp "$work/$(basename "$f")" "$f"
        done
    fi
    exit 0
fi

failed=0
for part in stdout stderr status; do
    if ! cmp -s "$case_dir/expected_$part" "$seen/$part"; then
        echo "--- $part differs (expected, then seen):"
        diff "$case_dir/expected_$part" "$seen/$part" | head -40
        failed=1
    fi
done
if [ -d "$case_dir/expected_files" ]; then
    for f in "$case_dir/expected_files"/*; do
        name=$(basename "$f")
        if ! cmp -s "$f" "$work/$name"; then
            echo "--- file $name differs or is missing"
            failed=1
        fi
    done
fi
if [ -f "$case_dir/absent" ]; then
    while read -r name; do
        [ -n "$name" ] && [ -e "$work/$name" ] && { echo "--- $name was written"; failed=1; }
    done <"$case_dir/absent"
fi
exit $failed
