#!/usr/bin/env bash
# The one test command: configures, builds and tests every preset and prints
# a summary line for each.
#
#   scripts/test.sh                 native, sanitize, windows (under wine), fuzz
#   scripts/test.sh --native-only   skips windows
#
# Each fuzz target runs for FUZZ_SECONDS (20 by default) when clang++ is
# present: enough to catch a regression, short enough for CI.
# Where the Windows cross compiler or wine is missing and this runs as root
# on Debian, they are installed with apt-get. With CI=true, Windows is
# mandatory: a missing piece fails the run.
set -uo pipefail

cd "$(dirname "$0")/.."
source scripts/lib.sh

native_only=false
for argument in "$@"; do
    case "$argument" in
        --native-only) native_only=true ;;
        *) echo "usage: scripts/test.sh [--native-only]" >&2; exit 2 ;;
    esac
done

ensure_native_tools || exit 1

declare -a summary=()
failed=0

# Runs the workflow preset $1 and records its outcome.
run_preset() {
    local preset=$1 log="build/$1.log" started=$SECONDS
    mkdir -p build
    echo "=== $preset"
    if cmake --workflow --preset "$preset" 2>&1 | tee "$log"; then
        local tests
        tests=$(grep -Eo 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 |
                grep -Eo '[0-9]+$')
        summary+=("$preset: passed (${tests:-0} tests, $((SECONDS - started)) s)")
    else
        summary+=("$preset: FAILED (see $log)")
        failed=$((failed + 1))
    fi
}

run_preset native
run_preset sanitize

if $native_only; then
    summary+=("windows: skipped (--native-only)")
elif ensure_windows_tools; then
    start_wine build/windows
    run_preset windows
    stop_wine
elif [ "${CI:-}" = true ]; then
    summary+=("windows: FAILED (mingw-w64 or 32-bit wine missing, and CI=true)")
    failed=$((failed + 1))
else
    summary+=("windows: skipped (mingw-w64 or 32-bit wine missing)")
fi

if command -v clang++ >/dev/null; then
    echo "=== fuzz"
    if scripts/fuzz.sh "${FUZZ_SECONDS:-20}" 2>&1 | tee build/fuzz-run.log; then
        outcome=$(grep -E '^fuzz: ' build/fuzz-run.log | tail -n 1)
        case "$outcome" in
            *skipped*) summary+=("$outcome") ;;
            *) summary+=("fuzz: passed (${outcome#fuzz: })") ;;
        esac
    else
        summary+=("fuzz: FAILED (see build/fuzz-run.log)")
        failed=$((failed + 1))
    fi
else
    summary+=("fuzz: skipped (no clang++)")
fi

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
passed=0
for line in "${summary[@]}"; do
    case "$line" in *": passed"*) passed=$((passed + 1)) ;; esac
done
echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
