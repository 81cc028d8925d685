#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz) and runs each in turn, one
# process at a time, then prints a summary line per target.
#
#   scripts/fuzz.sh            60 seconds per target
#   scripts/fuzz.sh 20         20 seconds per target (short enough for scripts/test.sh)
#
# Each target works on a scratch copy of its seeds in build/fuzz/corpus/,
# kept between runs so that the next one starts where this one stopped; the
# seeds in fuzz/corpus/ are never written to. The inputs in fuzz/regressions/
# are read as well, so a fault that comes back fails at once. Crash inputs
# land in build/fuzz/artifacts/<target>/, the full output in build/fuzz/logs/.
#
# Exit status 1 when any target found a crash, a leak, a hang or a broken
# check. Without clang++ or libFuzzer, they are installed with apt-get when
# this runs as root on Debian; otherwise the run is skipped with status 0.
set -euo pipefail

cd "$(dirname "$0")/.."
source scripts/lib.sh

usage() {
    echo "usage: scripts/fuzz.sh [SECONDS]" >&2
    exit 2
}
[ $# -le 1 ] || usage
seconds=${1:-60}
[[ $seconds =~ ^[1-9][0-9]*$ ]] || usage

# target:max_len. The reader's inputs must be able to cross the 1024-byte
# read boundary several times over; the document program needs no more than
# a few hundred operations.
targets=(reader_fuzzer:4096 document_fuzzer:1024 edit_fuzzer:2048)
build=build/fuzz

# True when clang++ can build and link a fuzz target with the sanitizers.
# A plain look for the library would miss a clang whose version does not
# match the installed runtime.
fuzzer_toolchain_works() {
    command -v clang++ >/dev/null || return 1
    local probe works=0
    probe=$(mktemp -d)
    printf '%s\n' 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) {' \
        '    return 0;' '}' >"$probe/probe.cpp"
    clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" \
        >/dev/null 2>&1 || works=1
    rm -rf "$probe"
    return $works
}

skip() {
    echo "fuzz: skipped ($1)"
    exit 0
}

if ! command -v cmake >/dev/null; then
    apt_install cmake || skip "cmake missing"
fi
if ! fuzzer_toolchain_works; then
    echo "clang++ with libFuzzer is missing"
    apt_install clang libclang-rt-dev || skip "clang++ or libFuzzer missing"
    fuzzer_toolchain_works || skip "clang++ cannot link a fuzz target even after installing"
fi

mkdir -p build
echo "=== building the fuzz preset (log: build/fuzz.log)"
if ! { cmake --preset fuzz && cmake --build --preset fuzz; } >build/fuzz.log 2>&1; then
    tail -n 30 build/fuzz.log
    echo "fuzz: build FAILED (see build/fuzz.log)"
    exit 1
fi

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
# Every input costs the reader target several file creations and reads: on a
# disk-backed /tmp they took ten times as long as everything else.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

# The value of libFuzzer's final statistic $1 in log $2, or "?".
final_stat() {
    local value
    value=$(grep -Eo "^stat::$1: *[0-9]+" "$2" | grep -Eo '[0-9]+$' | tail -n 1) || true
    echo "${value:-?}"
}

declare -a summary=()
found=0
for target in "${targets[@]}"; do
    name=${target%%:*}
    max_len=${target##*:}
    short=${name%_fuzzer}
    corpus=$build/corpus/$short
    artifacts=$build/artifacts/$short
    log=$build/logs/$short.log
    mkdir -p "$corpus" "$artifacts" "$build/logs"
    cp -R "fuzz/corpus/$short/." "$corpus/"

    echo "=== $name: $seconds s, max_len $max_len (log: $log)"
    status=0
    # New inputs go to the first directory only; the regressions are read.
    "$build/fuzz/$name" -max_len="$max_len" -max_total_time="$seconds" -timeout=25 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$corpus" "fuzz/regressions/$short" >"$log" 2>&1 || status=$?

    runs=$(final_stat number_of_executed_units "$log")
    rate=$(final_stat average_exec_per_sec "$log")
    inputs=$(find "$corpus" -type f | wc -l)
    counts="$runs runs, $rate exec/s, corpus $inputs inputs"
    if [ "$status" -eq 0 ]; then
        summary+=("$name: clean ($counts)")
    else
        found=$((found + 1))
        what=$(grep -m 1 -E 'check failed|ERROR: |runtime error|ALARM|out-of-memory|deadly signal' \
               "$log") || true
        artifact=$(grep -Eo 'Test unit written to .*' "$log" | tail -n 1) || true
        artifact=${artifact#Test unit written to }
        summary+=("$name: FOUND a fault, exit $status ($counts): ${what:-see $log}")
        summary+=("    input: ${artifact:-none written}; log: $log")
        tail -n 40 "$log"
    fi
done

echo
echo "=== fuzz summary"
printf '%s\n' "${summary[@]}"
echo "fuzz: ${#targets[@]} targets, $found with findings"
[ "$found" -eq 0 ]
