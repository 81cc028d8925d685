#!/usr/bin/env bash
# Where ini_load spends its instructions, and how their count grows, under
# callgrind. Instruction counts do not depend on what else the machine is
# doing, so they settle questions the timings leave open on a shared machine;
# they say nothing about cache misses, page faults or system calls.
#
#   bench/profile.sh [DATA_DIR]
#
# DATA_DIR holds the files of `bench --generate` (written there when
# missing; a scratch directory by default). Needs valgrind and a built
# build/native/bench/bench. Takes a minute or two.
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "$0")" && pwd)
bench=$here/../build/native/bench/bench
[ -x "$bench" ] || { echo "no $bench: build the bench target first" >&2; exit 1; }
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }

out=$(mktemp -d "${TMPDIR:-/tmp}/ini-profile-XXXXXX")
trap 'rm -rf "$out"' EXIT
data=$(realpath -m "${1:-$out/data}")
[ -f "$data/typical.ini" ] || "$bench" --generate "$data" >/dev/null
# callgrind_annotate shortens the source paths below its working directory,
# and then lists a function once per spelling of its path.
cd "$out"

# Instructions executed inside ini_load for one load of file $1 in a fresh
# process; the profile is left in $out/$2. The name is matched exactly: a
# pattern such as ini_load* also matches ini_load_file, which ini_load
# calls, and that nested toggle would switch the count off again.
instructions() {
    valgrind --tool=callgrind --toggle-collect=ini_load --callgrind-out-file="$out/$2" \
        "$bench" --load-once "$1" >/dev/null 2>&1
    awk '/^(summary|totals):/ { print $2; exit }' "$out/$2"
}

echo "== One load of the typical file, instructions inside ini_load"
total=$(instructions "$data/typical.ini" typical.out)
bytes=$(stat -c %s "$data/typical.ini")
awk -v i="$total" -v b="$bytes" \
    'BEGIN { printf "%d instructions, %d bytes: %.1f per byte\n\n", i, b, i / b }'
callgrind_annotate "$out/typical.out" 2>/dev/null | sed -n '/file:function/,/^$/p' | head -22
echo
echo "-- inclusive"
callgrind_annotate --inclusive=yes "$out/typical.out" 2>/dev/null |
    sed -n '/file:function/,/^$/p' | grep -v -e 'libc-start' -e 'below main' -e 'bench_main' \
        -e 'ld-linux' | head -16

# Calls per callee, summed over the call sites in the profile.
echo
echo "-- calls"
awk '
    /^c?fn=/ {
        split($0, part, "=")
        id = part[2]; sub(/ .*/, "", id)
        rest = part[2]; if (sub(/^\([0-9]+\) /, "", rest)) name[id] = rest
        if ($0 ~ /^cfn=/) callee = id
    }
    /^calls=/ { split($0, c, /[= ]/); calls[callee] += c[2] }
    END { for (id in calls) printf "%12d  %s\n", calls[id], (id in name ? name[id] : id) }
' "$out/typical.out" | sort -rn | head -14

echo
echo "== Growth of the instruction count inside ini_load"
printf '%-22s %10s %10s %14s %14s %9s\n' series n1 n2 instr1 instr2 exponent
series() {
    local label=$1 prefix=$2
    shift 2
    local previous_n="" previous_i="" n i
    for n in "$@"; do
        i=$(instructions "$data/$prefix$n.ini" "growth.out")
        if [ -n "$previous_n" ]; then
            awk -v l="$label" -v n1="$previous_n" -v n2="$n" -v i1="$previous_i" -v i2="$i" \
                'BEGIN { printf "%-22s %10d %10d %14d %14d %9.3f\n", l, n1, n2, i1, i2,
                         log(i2 / i1) / log(n2 / n1) }'
        fi
        previous_n=$n
        previous_i=$i
    done
}
series "long line (bytes)" long_line_ 65536 262144 1048576 4194304 16777216
series "entries" many_entries_ 15625 62500 250000 1000000
