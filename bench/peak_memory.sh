#!/usr/bin/env bash
# Peak memory of a whole process that loads one file and releases it: the
# maximum resident set from GNU time, for the module and for each peer the
# bench was built with, as MB (10^6 bytes) and as a multiple of the file.
#
#   bench/peak_memory.sh [-n ROUNDS] [-d DATA_DIR] [-p BENCH] [PROGRAM...]
#
# The module is loaded by each PROGRAM, `load_timer FILE 1` or `bench
# --load-once FILE` (default: the native build's load_timer, which links
# nothing but the standard library), so two versions of the module can be
# measured side by side; each peer by `BENCH --load-once FILE PEER` (default:
# the native build's bench). The table gives the median over ROUNDS
# processes (default 5), the rounds running one after another over all files
# and programs. DATA_DIR holds the files of `bench --generate` (written there
# when missing; a scratch directory by default). The empty file shows what
# each process takes before any document.
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

rounds=5
data=""
peers_bench=$root/build/native/bench/bench
while [ $# -gt 0 ]; do
    case $1 in
        -n) rounds=${2:?"-n needs a number of rounds"}; shift 2 ;;
        -d) data=${2:?"-d needs a directory"}; shift 2 ;;
        -p) peers_bench=${2:?"-p needs a bench executable"}; shift 2 ;;
        -*) echo "usage: $0 [-n ROUNDS] [-d DATA_DIR] [-p BENCH] [PROGRAM...]" >&2; exit 2 ;;
        *) break ;;
    esac
done
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=("$root/build/native/bench/load_timer")
for program in "${programs[@]}" "$peers_bench"; do
    [ -x "$program" ] || { echo "$0: $program not built" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "$0: GNU time (/usr/bin/time) is missing" >&2; exit 1; }

scratch=""
if [ -z "$data" ]; then
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/vantra-peak-XXXXXX")
    data=$scratch
fi
files=(typical many_entries_1000000 many_sections long_line_16777216 release)
[ -f "$data/typical.ini" ] || "$peers_bench" --generate "$data" >/dev/null
: >"$data/empty.ini"
trap 'rm -f "$data/empty.ini" "$data/.peak"; [ -z "$scratch" ] || rm -rf "$scratch"' EXIT

# What is measured: each PROGRAM, then the peers that BENCH was built with.
labels=() commands=()
for i in "${!programs[@]}"; do
    labels+=("ini_load#$((i + 1))"); commands+=("${programs[$i]}|")
done
for peer in simpleini INIReader iniparser; do
    if "$peers_bench" --load-once "$data/release.ini" "$peer" >/dev/null 2>&1; then
        labels+=("$peer"); commands+=("$peers_bench|$peer")
    fi
done

# Maximum resident set in KiB of one load, or "-" when the load fails.
peak() {
    local program=${1%%|*} peer=${1#*|} file=$2 arguments
    if [ "$(basename "$program")" = load_timer ]; then
        arguments=("$file" 1)
    else
        arguments=(--load-once "$file" $peer)
    fi
    if /usr/bin/time -f '%M' -o "$data/.peak" "$program" "${arguments[@]}" >/dev/null 2>&1; then
        tail -n 1 "$data/.peak"
    else
        echo "-"
    fi
    rm -f "$data/.peak"
}

declare -A samples
for _ in $(seq "$rounds"); do
    for name in empty "${files[@]}"; do
        for i in "${!commands[@]}"; do
            # iniparser's dictionary is quadratic: small files only.
            if [ "${labels[$i]}" = iniparser ] && [ "$name" != release ] && [ "$name" != empty ]; then
                continue
            fi
            samples[$name,$i]+="$(peak "${commands[$i]}" "$data/$name.ini") "
        done
    done
done

# The median of the numbers among the words read.
median() {
    tr ' ' '\n' | awk '/^[0-9]+$/' | sort -n |
        awk '{v[NR] = $1} END {if (NR) print v[int((NR + 1) / 2)]; else print "-"}'
}

printf '%-22s %12s' file bytes
for label in "${labels[@]}"; do printf ' %16s' "$label"; done
printf '\n'
for name in empty "${files[@]}"; do
    bytes=$(stat -c %s "$data/$name.ini")
    printf '%-22s %12s' "$name" "$bytes"
    for i in "${!labels[@]}"; do
        kib=$(printf '%s' "${samples[$name,$i]:-}" | median)
        if [ "$kib" = "-" ]; then
            printf ' %16s' "-"
        elif [ "$bytes" -gt 0 ]; then
            awk -v k="$kib" -v b="$bytes" 'BEGIN{printf " %7.1f (%5.2fx)", k * 1024 / 1e6, k * 1024 / b}'
        else
            awk -v k="$kib" 'BEGIN{printf " %7.1f %8s", k * 1024 / 1e6, ""}'
        fi
    done
    printf '\n'
done
echo "MB of maximum resident set (median of $rounds processes), and as a multiple of the file."
