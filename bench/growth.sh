#!/usr/bin/env bash
# Whether the time of ini_load grows linearly with the file, natively or for
# the Windows build under wine: loads each step of the two growth series (a
# long line of 64 KiB to 16 MiB, 15,625 to 1,000,000 entries) with
# load_timer and prints the exponent log(t2/t1) / log(n2/n1) between
# consecutive steps (1 is linear; the target is at most 1.1).
#
#   bench/growth.sh [--wine] [-n ROUNDS] [DATA_DIR]
#
# Each file is loaded in ROUNDS processes (default 3), the rounds running
# one after another over all files, so a burst of outside load spoils one
# sample of one step. A process loads its file often enough to take a
# fraction of a second (5 times at 16 MiB, up to 101 times for the smallest
# files) and reports its first, best and median load. Per step the table
# shows the median over the rounds of the processes' medians; the exponent
# is also given from the fastest load (outside load only ever adds time)
# and from the first load of each process, on a fresh heap.
#
# DATA_DIR holds the files of `bench --generate` (written there when
# missing; a scratch directory by default), which needs the native bench
# target even for --wine. Under wine, WINEPREFIX defaults to the Windows
# build's prefix; a wine server is started for it if none runs, and stopped
# at the end only if this script started it.
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
bench=$root/build/native/bench/bench

use_wine=false
rounds=3
while [ $# -gt 0 ]; do
    case $1 in
        --wine) use_wine=true; shift ;;
        -n) rounds=${2:?"-n needs a number of rounds"}; shift 2 ;;
        -*) echo "usage: $0 [--wine] [-n ROUNDS] [DATA_DIR]" >&2; exit 2 ;;
        *) break ;;
    esac
done

long_line_steps=(65536 262144 1048576 4194304 16777216)
entry_steps=(15625 62500 250000 1000000)

if $use_wine; then
    timer=$root/build/windows/bench/load_timer.exe
    [ -f "$timer" ] || { echo "no $timer: build the windows preset first" >&2; exit 1; }
    command -v wine >/dev/null || { echo "wine is not installed" >&2; exit 1; }
else
    timer=$root/build/native/bench/load_timer
    [ -x "$timer" ] || { echo "no $timer: build the native preset first" >&2; exit 1; }
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/ini-growth-XXXXXX")
started_server=false
cleanup() {
    # A wine server started here would outlive the script; one that was
    # already running belongs to someone else.
    if $started_server; then
        wineserver -k >/dev/null 2>&1 || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

data=$(realpath -m "${1:-$scratch/data}")
missing=false
for n in "${long_line_steps[@]}"; do [ -f "$data/long_line_$n.ini" ] || missing=true; done
for n in "${entry_steps[@]}"; do [ -f "$data/many_entries_$n.ini" ] || missing=true; done
if $missing; then
    [ -x "$bench" ] ||
        { echo "no $bench to write the files with: build the native preset" >&2; exit 1; }
    "$bench" --generate "$data" >/dev/null
fi

if $use_wine; then
    export WINEPREFIX=${WINEPREFIX:-$root/build/windows/wineprefix}
    export WINEDEBUG=-all
    mkdir -p "$WINEPREFIX"
    # Exit status 2: a server already runs for this prefix. The server's
    # output must not be a pipe of ours, or it would hold the pipe open.
    status=0
    wineserver -p >/dev/null 2>&1 || status=$?
    [ "$status" -eq 0 ] && started_server=true
    wineboot </dev/null >/dev/null 2>&1
fi

# Loads of file $1, repeated $2 times in one process: "first best median" in ms.
load_times() {
    local output
    if $use_wine; then
        output=$(wine "$timer" "Z:$1" "$2" </dev/null | tr -d '\r')
    else
        output=$("$timer" "$1" "$2" </dev/null)
    fi
    awk '$1 == "first" { f = $2 } $1 == "best" { b = $2 } $1 == "median" { m = $2 }
         END { if (m == "") exit 1; print f, b, m }' <<<"$output"
}

# Enough loads in one process for a fraction of a second: 64 MiB worth.
repeat_for() {
    local bytes
    bytes=$(stat -c %s "$1")
    awk -v b="$bytes" 'BEGIN { r = int(67108864 / b); print (r < 5 ? 5 : r > 101 ? 101 : r) }'
}

files=()
for n in "${long_line_steps[@]}"; do files+=("long_line_$n"); done
for n in "${entry_steps[@]}"; do files+=("many_entries_$n"); done

echo "timer: $timer${WINEPREFIX:+ (WINEPREFIX=$WINEPREFIX)}"
echo "files: $data; $rounds rounds; load average $(cut -d' ' -f1-3 /proc/loadavg)"
for ((round = 1; round <= rounds; round++)); do
    for name in "${files[@]}"; do
        path=$data/$name.ini
        load_times "$path" "$(repeat_for "$path")" >>"$scratch/$name.times"
    done
    echo "round $round of $rounds done" >&2
done

# The median of the numbers in column $1 of file $2.
median_of() {
    cut -d' ' -f"$1" "$2" | sort -g | awk '{ v[NR] = $1 }
        END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Per file: the median over the rounds of the first and the median loads, and
# the fastest load of all.
summary() {
    local times=$scratch/$1.times
    echo "$(median_of 1 "$times") $(cut -d' ' -f2 "$times" | sort -g | head -1)" \
        "$(median_of 3 "$times")"
}

echo
printf '%-18s %9s %9s %10s %10s %7s %7s %7s\n' series n1 n2 't1 (ms)' 't2 (ms)' median best first
worst=0
worst_fastest=0
series() {
    local label=$1 prefix=$2
    shift 2
    local previous="" n f b m pf pb pm
    for n in "$@"; do
        read -r f b m < <(summary "$prefix$n")
        if [ -n "$previous" ]; then
            IFS="|" read -r worst worst_fastest line < <(awk -v l="$label" -v n1="$previous" \
                -v n2="$n" -v f1="$pf" -v f2="$f" -v b1="$pb" -v b2="$b" -v m1="$pm" -v m2="$m" \
                -v w="$worst" -v wf="$worst_fastest" '
                function e(t1, t2) { return log(t2 / t1) / log(n2 / n1) }
                BEGIN {
                    em = e(m1, m2)
                    eb = e(b1, b2)
                    printf "%.4f|%.4f|%-18s %9d %9d %10.3f %10.3f %6.2f%s %7.2f %7.2f\n",
                           (em > w ? em : w), (eb > wf ? eb : wf), l, n1, n2, m1, m2, em,
                           (em > 1.1 ? "*" : " "), eb, e(f1, f2)
                }')
            echo "$line"
            label=""
        fi
        previous=$n pf=$f pb=$b pm=$m
    done
}
series "long line (bytes)" long_line_ "${long_line_steps[@]}"
series "entries" many_entries_ "${entry_steps[@]}"
echo
awk -v w="$worst" -v wf="$worst_fastest" 'BEGIN {
    printf "largest exponent by the medians: %.2f (steps above 1.1 marked *): %s\n", w,
           (w <= 1.1 ? "met" : "not met")
    printf "largest exponent by the fastest: %.2f: %s\n", wf, (wf <= 1.1 ? "met" : "not met")
    print "target: at most 1.1 at every step"
}'
