#!/usr/bin/env bash
# Builds the installer if needed, lays out a fresh copy of the sample
# distribution in a scratch folder, puts Install in its root and runs it
# there as a user would: with no root argument. Arguments (such as -s) are
# passed on to the installer.
set -euo pipefail

cd "$(dirname "$0")/.."
source scripts/lib.sh
ensure_build_tools

# A build of its own without the tests, so that the demo needs only the
# compiler and CMake, and leaves the test command's build as it was.
build=build/demo
cmake --preset native -B "$build" -DVANTRA_BUILD_TESTS=OFF -DVANTRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target Install >/dev/null

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vantra-demo.XXXXXX")
cp -R sample/. "$scratch/"
cp "$build/Install" "$scratch/"

echo "Sample distribution laid out in $scratch"
echo "Running: $scratch/Install $*"
echo
status=0
"$scratch/Install" "$@" || status=$?
echo
echo "Exit status: $status"
[ "$status" -eq 0 ] || exit "$status"

echo
echo "== bin/"
ls -l "$scratch/bin"
echo
for boot in start_bare.boot start_kord.boot; do
    if cmp -s "$scratch/bin/start.boot" "$scratch/bin/$boot"; then
        echo "== start.boot is a copy of $boot"
    fi
done
for config in "$scratch"/vrun-*/bin/vnt.ini "$scratch/bin/vnt.ini"; do
    echo
    echo "== $config"
    cat "$config"
done
