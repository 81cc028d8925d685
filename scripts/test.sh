#!/usr/bin/env bash
# The one test command: configures, builds and tests every preset and prints
# a summary line for each.
#
#   scripts/test.sh                 native, sanitize, threads, ansible, windows (under wine), fuzz
#   scripts/test.sh --native-only   skips windows
#
# Each fuzz target runs for FUZZ_SECONDS (20 by default) when clang++ is
# present: enough to catch a regression, short enough for CI.
# Where the Windows cross compiler or wine is missing and this runs as root
# on Debian, they are installed with apt-get. With CI=true, Windows is
# mandatory: a missing piece fails the run. Where the machine cannot run
# 32-bit programs, the Windows tests run as a 64-bit build under wine64;
# VANTRA_WINDOWS_ARCH=x86_64 forces that path, =i686 forbids it.
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

# The number of tests CTest ran in its last report in log $1.
count_tests() {
    local tests
    tests=$(grep -Eo 'tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -n 1 |
            grep -Eo '[0-9]+$')
    echo "${tests:-0}"
}

# Runs the workflow preset $1 and records its outcome.
run_preset() {
    local preset=$1 log="build/$1.log" started=$SECONDS
    mkdir -p build
    echo "=== $preset"
    if cmake --workflow --preset "$preset" 2>&1 | tee "$log"; then
        summary+=("$preset: passed ($(count_tests "$log") tests, $((SECONDS - started)) s)")
    else
        summary+=("$preset: FAILED (see $log)")
        failed=$((failed + 1))
    fi
}

run_preset native
run_preset sanitize

# Records of one load released on two threads, under ThreadSanitizer: the
# module alone (a build of its own, without tests), and one small program.
run_threads() {
    local log=build/threads.log started=$SECONDS dir=build/threads
    local flags="-fsanitize=thread -O1 -g"
    echo "=== threads"
    if { cmake -S . -B "$dir" -DVANTRA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Debug \
               -DCMAKE_CXX_FLAGS="$flags" &&
         cmake --build "$dir" --target inifile &&
         g++ -std=c++17 $flags -pthread -Iinclude tests/threads/release_on_threads.cpp \
             "$dir/inifile/libinifile.a" "$dir/platform/libinifile_platform.a" \
             -o "$dir/release_on_threads" &&
         TSAN_OPTIONS=halt_on_error=1 "$dir/release_on_threads"; } >"$log" 2>&1; then
        summary+=("threads: passed (ThreadSanitizer, $((SECONDS - started)) s)")
    else
        tail -n 20 "$log"
        summary+=("threads: FAILED (see $log)")
        failed=$((failed + 1))
    fi
}
run_threads

# Runs the Windows tests "$@" with wine started, their output added to log
# $1, then stops wine and sets windows_outcome, naming the path taken ($2).
# Returns 0 when they passed, 2 otherwise. `started` is windows_suite's.
windows_tests() {
    local log=$1 path=$2 status=0
    shift 2
    "$@" 2>&1 | tee -a "$log" || status=2
    stop_wine
    if [ $status -eq 0 ]; then
        windows_outcome="passed ($(count_tests "$log") tests, $((SECONDS - started)) s; $path)"
    else
        windows_outcome="FAILED (see $log; $path)"
    fi
    return $status
}

# The Windows suite. The 32-bit Install.exe ships, so it is built and its
# image checked (machine, imports, manifest, version) on every machine. The
# tests that run it need a kernel that runs 32-bit code; where it does not
# (or VANTRA_WINDOWS_ARCH=x86_64 says so), the same code runs them as a
# 64-bit build under wine64. Sets windows_outcome.
windows_suite() {
    local log=build/windows.log started=$SECONDS
    windows_outcome=""
    ensure_windows_build_tools || { windows_outcome="mingw-w64 missing"; return 1; }
    echo "=== windows (the 32-bit build: built and checked without running it)"
    if ! { cmake --preset windows && cmake --build --preset windows &&
           ctest --preset windows -L static; } 2>&1 | tee "$log"; then
        windows_outcome="FAILED (see $log)"
        return 2
    fi
    local why=""
    case "${VANTRA_WINDOWS_ARCH:-}" in
        x86_64) why="forced by VANTRA_WINDOWS_ARCH=x86_64" ;;
        "" | i686)
            if ! ensure_wine32; then
                why="32-bit wine cannot be installed"
            elif ! start_wine build/windows || ! runs_windows_program build/windows/Install.exe; then
                stop_wine
                why="this machine cannot run 32-bit programs"
            fi ;;
        *) windows_outcome="FAILED (VANTRA_WINDOWS_ARCH is i686 or x86_64, not $VANTRA_WINDOWS_ARCH)"
           return 2 ;;
    esac
    if [ -z "$why" ]; then
        echo "=== windows (32-bit build under wine)"
        windows_tests "$log" "32-bit build under wine" ctest --preset windows
        return
    fi
    if [ "${VANTRA_WINDOWS_ARCH:-}" = i686 ]; then
        windows_outcome="FAILED (VANTRA_WINDOWS_ARCH=i686, but $why)"
        return 2
    fi
    echo "=== windows64 ($why)"
    log=build/windows64.log
    if ! ensure_windows64_tools || ! start_wine build/windows64 64; then
        windows_outcome="FAILED (the 64-bit fallback's tools are missing; $why)"
        return 2
    fi
    : >"$log"
    windows_tests "$log" "64-bit build under wine64, the 32-bit one built and checked; $why" \
        cmake --workflow --preset windows64
}

# The Ansible collection's suite (tests/ansible/), on the native build's
# command: mandatory with CI=true, like Windows.
run_ansible() {
    local log=build/ansible.log started=$SECONDS
    echo "=== ansible"
    if ! ensure_ansible_tools; then
        if [ "${CI:-}" = true ]; then
            summary+=("ansible: FAILED (ansible-core cannot be installed, and CI=true)")
            failed=$((failed + 1))
        else
            summary+=("ansible: skipped (ansible-core cannot be installed)")
        fi
        return
    fi
    if python3 tests/ansible/run_ansible.py --command build/native/command/inifile 2>&1 |
            tee "$log"; then
        summary+=("ansible: passed (the collection on 12 hosts, $((SECONDS - started)) s)")
    else
        summary+=("ansible: FAILED (see $log)")
        failed=$((failed + 1))
    fi
}
run_ansible

if $native_only; then
    summary+=("windows: skipped (--native-only)")
else
    windows_suite
    case $? in
        0) summary+=("windows: $windows_outcome") ;;
        1) if [ "${CI:-}" = true ]; then
               summary+=("windows: FAILED ($windows_outcome, and CI=true)")
               failed=$((failed + 1))
           else
               summary+=("windows: skipped ($windows_outcome)")
           fi ;;
        *) summary+=("windows: $windows_outcome")
           failed=$((failed + 1)) ;;
    esac
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
