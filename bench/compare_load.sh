#!/usr/bin/env bash
# ini_load of two builds side by side, in one run: each file of the
# benchmark corpus is loaded by both builds, process after process,
# alternating which build goes first from round to round, so that outside
# load and drift fall on both alike.
#
#   bench/compare_load.sh [-n ROUNDS] [--instructions] [--text] BASE_BUILD NEW_BUILD [DATA_DIR]
#
# BASE_BUILD and NEW_BUILD are native build directories (build/native). A
# base from another commit is built in a worktree of its own, e.g.:
#   git worktree add ../base COMMIT && cmake -S ../base --preset native &&
#   cmake --build ../base/build/native --target load_timer bench
#   bench/compare_load.sh ../base/build/native build/native
#
# Times: bench/load_timer loads a file often enough to read 64 MiB (5 to
# 101 loads) and its fastest load counts, as MB/s, since outside load only
# ever adds time. Per file: the median over the rounds for each build, the
# ratio new / base and the range of the per-round ratios.
#
# --instructions: instead, the instructions executed inside ini_load for one
# load in a fresh process (bench --load-once under callgrind), which do not
# depend on what else the machine does. Needs valgrind.
#
# --text: ini_load_text of the file's bytes, read into memory beforehand,
# instead of ini_load (load_timer --text; both builds need that option).
#
# DATA_DIR holds the files of `bench --generate` (written there with
# NEW_BUILD's bench when missing; a scratch directory by default).
set -euo pipefail
export LC_ALL=C

usage="usage: $0 [-n ROUNDS] [--instructions] [--text] BASE_BUILD NEW_BUILD [DATA_DIR]"
rounds=5
instructions=false
text=()
while [ $# -gt 0 ]; do
    case $1 in
        -n) rounds=${2:?"-n needs a number of rounds"}; shift 2 ;;
        --instructions) instructions=true; shift ;;
        --text) text=(--text); shift ;;
        -*) echo "$usage" >&2; exit 2 ;;
        *) break ;;
    esac
done
[ $# -ge 2 ] && [ $# -le 3 ] || { echo "$usage" >&2; exit 2; }
builds=("$(realpath "$1")" "$(realpath "$2")")
for build in "${builds[@]}"; do
    for tool in load_timer bench; do
        [ -x "$build/bench/$tool" ] ||
            { echo "no $build/bench/$tool: build the load_timer and bench targets" >&2; exit 1; }
    done
done
if $instructions; then
    command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }
    rounds=1
fi

files=(typical many_entries_1000000 many_sections long_line_16777216 release)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/ini-compare-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
data=$(realpath -m "${3:-$scratch/data}")
for name in "${files[@]}"; do
    if [ ! -f "$data/$name.ini" ]; then
        "${builds[1]}/bench/bench" --generate "$data" >/dev/null
        break
    fi
done

# Enough loads in one process for a fraction of a second: 64 MiB worth.
repeat_for() {
    local bytes
    bytes=$(stat -c %s "$1")
    awk -v b="$bytes" 'BEGIN { r = int(67108864 / b); print (r < 5 ? 5 : r > 101 ? 101 : r) }'
}

# The measure of build $1 on file $2: MB/s of the fastest load, or the
# instructions of one load. The two toggles match ini_load as a C function
# and as the C++ function of builds before ini.h had C linkage; ini_load*
# would also match ini_load_file, and the nested toggle would stop the count.
measure() {
    if $instructions && [ ${#text[@]} -gt 0 ]; then
        valgrind --tool=callgrind --toggle-collect=ini_load_text \
            --callgrind-out-file="$scratch/callgrind.out" \
            "$1/bench/load_timer" --text "$2" 1 >/dev/null 2>&1
        awk '/^(summary|totals):/ { print $2; exit }' "$scratch/callgrind.out"
    elif $instructions; then
        valgrind --tool=callgrind --toggle-collect=ini_load --toggle-collect='ini_load(*' \
            --callgrind-out-file="$scratch/callgrind.out" \
            "$1/bench/bench" --load-once "$2" >/dev/null 2>&1
        awk '/^(summary|totals):/ { print $2; exit }' "$scratch/callgrind.out"
    else
        "$1/bench/load_timer" "${text[@]}" "$2" "$(repeat_for "$2")" </dev/null |
            awk '$1 == "best" { print $4 }'
    fi
}

echo "base: ${builds[0]}"
echo "new:  ${builds[1]}"
echo "files: $data; $rounds rounds; load average $(cut -d' ' -f1-3 /proc/loadavg)"
for ((round = 1; round <= rounds; round++)); do
    for name in "${files[@]}"; do
        if ((round % 2)); then order=(0 1); else order=(1 0); fi
        for which in "${order[@]}"; do
            echo "$round $(measure "${builds[$which]}" "$data/$name.ini")" >>"$scratch/$name.$which"
        done
    done
    echo "round $round of $rounds done" >&2
done

echo
if $instructions; then
    unit=instructions digits=0
else
    unit=MB/s digits=1
fi
printf '%-22s %19s %19s %9s %15s\n' file "base ($unit)" "new ($unit)" new/base 'range by round'
for name in "${files[@]}"; do
    sort -k1,1 "$scratch/$name.0" >"$scratch/base"
    sort -k1,1 "$scratch/$name.1" >"$scratch/new"
    join "$scratch/base" "$scratch/new" | awk -v name="$name" -v d="$digits" '
        function median(v, n,    i, j, t) {
            for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] < v[i]) {
                t = v[i]; v[i] = v[j]; v[j] = t
            }
            return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
        }
        { b[NR] = $2; n[NR] = $3; r = $3 / $2; lo = NR == 1 || r < lo ? r : lo
          hi = NR == 1 || r > hi ? r : hi }
        END {
            mb = median(b, NR); mn = median(n, NR)
            printf "%-22s %19.*f %19.*f %9.3f %7.3f-%.3f\n", name, d, mb, d, mn, mn / mb, lo, hi
        }'
done
