#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds the consumer
# project with find_package(Velmar) and a one-file program with pkg-config,
# and runs both. Usage: check_package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
here=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$here/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer"
flags=$(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --cflags --libs velmar)
# shellcheck disable=SC2086
g++ "$here/consumer/main.cpp" $flags -pthread -o "$work/by_pkgconfig"
"$work/by_pkgconfig" | head -1
test -x "$work/prefix/bin/Velmar" && test -x "$work/prefix/bin/Brennik"
