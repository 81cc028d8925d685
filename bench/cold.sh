#!/usr/bin/env bash
# The first load of a fresh process, as a program that reads its
# configuration once meets it: each tool loads each file once per process
# (`bench --load-once`), load plus release timed, with the minor page faults
# the two took (getrusage), which do not depend on the machine's noise. All
# tools run side by side, one after another within each round, the order
# turning from round to round.
#
#   bench/cold.sh [-n ROUNDS] [-d DATA_DIR] [BENCH...]
#
# Each BENCH (default: build/native/bench/bench) is one build of the module,
# "ours#1", "ours#2", ...; the peers (inih, simpleini, INIReader) come from
# the last. Per file and tool: the median over ROUNDS (default 7) of MB/s
# (10^6 bytes), of the faults of one load and release, and of how far the
# load raised the process's peak resident set (MB, and as a multiple of the
# file), and inih's time over the tool's (above 1: faster than inih). DATA_DIR holds the files of `bench
# --generate` (a scratch directory by default). `bench --fault-cost` tells
# what one fault costs on this machine.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "$0")/.." && pwd)
rounds=7
data=""
while [ $# -gt 0 ]; do
    case $1 in
        -n) rounds=${2:?"-n needs a number of rounds"}; shift 2 ;;
        -d) data=${2:?"-d needs a directory"}; shift 2 ;;
        -*) echo "usage: $0 [-n ROUNDS] [-d DATA_DIR] [BENCH...]" >&2; exit 2 ;;
        *) break ;;
    esac
done
benches=("$@")
[ ${#benches[@]} -gt 0 ] || benches=("$root/build/native/bench/bench")
last=${benches[${#benches[@]} - 1]}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vantra-cold-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
data=${data:-$scratch/data}
[ -f "$data/typical.ini" ] || "$last" --generate "$data" >/dev/null
files=(release many_sections many_entries_1000000 typical)

labels=() commands=()
for i in "${!benches[@]}"; do
    labels+=("ours#$((i + 1))"); commands+=("${benches[$i]}|")
done
for peer in inih simpleini INIReader; do
    if "$last" --load-once "$data/release.ini" "$peer" >/dev/null 2>&1; then
        labels+=("$peer"); commands+=("$last|$peer")
    else
        echo "cold: $peer is not in $last (bench/setup.sh installs it); left out" >&2
    fi
done

for ((round = 1; round <= rounds; round++)); do
    for name in "${files[@]}"; do
        count=${#labels[@]}
        for ((k = 0; k < count; k++)); do
            i=$(((k + round) % count))
            IFS='|' read -r program peer <<<"${commands[$i]}"
            line=$("$program" --load-once "$data/$name.ini" $peer | awk '$1 == "cold"')
            echo "$name ${labels[$i]} ${line#cold }" >>"$scratch/results"
        done
    done
    echo "round $round of $rounds done" >&2
done

echo "files: $data; $rounds rounds; load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-22s %-10s %9s %8s %16s %11s\n' file tool MB/s faults "peak MB" inih/tool
for name in "${files[@]}"; do
    bytes=$(stat -c %s "$data/$name.ini")
    for label in "${labels[@]}"; do
        awk -v f="$name" -v t="$label" '$1 == f && $2 == t { print $3, $4, $5 }' "$scratch/results" >"$scratch/one"
        awk -v f="$name" '$1 == f && $2 == "inih" { print $3 }' "$scratch/results" >"$scratch/inih"
        awk -v name="$name" -v tool="$label" -v bytes="$bytes" '
            function median(v, n,    i, j, t) {
                for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] < v[i]) {
                    t = v[i]; v[i] = v[j]; v[j] = t
                }
                return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
            }
            FILENAME == ARGV[1] { s[++n] = $1; f[n] = $2; p[n] = $3 * 1024 / 1e6; next }
            { h[++m] = $1 }
            END {
                ms = median(s, n); mf = median(f, n); mp = median(p, n)
                ratio = m ? sprintf("%.2f", median(h, m) / ms) : "-"
                printf "%-22s %-10s %9.1f %8.0f %7.1f (%5.2fx) %11s\n", name, tool,
                       bytes / ms / 1e6, mf, mp, mp * 1e6 / bytes, ratio
            }' "$scratch/one" "$scratch/inih"
    done
done
