#!/usr/bin/env bash
# The inifile command beside crudini on one large file in the common
# dialect: a `get` and a `set` of a key near the end, each tool a fresh
# process per run, the two alternating run by run. Prints, per operation and
# tool, the median wall-clock time over RUNS runs and the peak resident set
# (GNU time), and checks that both tools read the same value.
#
#   bench/command_vs_crudini.sh [-n RUNS] [-s MEGABYTES] [INIFILE]
#
# INIFILE defaults to the native build's command; crudini is Debian's
# (bench/setup.sh installs it). The file has SIZE MB (default 10) of
# sections of 100 `key = value` entries, and is written to a scratch
# directory.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "$0")/.." && pwd)
runs=5
megabytes=10
while [ $# -gt 0 ]; do
    case $1 in
        -n) runs=${2:?"-n needs a number of runs"}; shift 2 ;;
        -s) megabytes=${2:?"-s needs a size in MB"}; shift 2 ;;
        -*) echo "usage: $0 [-n RUNS] [-s MEGABYTES] [INIFILE]" >&2; exit 2 ;;
        *) break ;;
    esac
done
inifile=${1:-$root/build/native/command/inifile}
command -v crudini >/dev/null || { echo "crudini is missing: run bench/setup.sh" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "GNU time is missing: run bench/setup.sh" >&2; exit 2; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vantra-crudini-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
file=$scratch/large.ini
python3 - "$file" "$megabytes" <<'EOF'
import sys
path, size = sys.argv[1], int(sys.argv[2]) * 10**6
with open(path, "w") as out:
    section = 0
    while out.tell() < size:
        out.write(f"# section {section}\n[section{section}]\n")
        for entry in range(100):
            out.write(f"key{entry} = value {section}.{entry}\n")
        out.write("\n")
        section += 1
print(f"{path}: {size // 10**6} MB, {section} sections of 100 entries", file=sys.stderr)
EOF
last=$(grep -o '^\[section[0-9]*\]' "$file" | tail -n 1 | tr -d '[]')

# The commands, by name; each run records seconds and peak KB per name.
declare -A commands
commands[inifile_get]="$inifile --dialect=common get $file $last key50"
commands[crudini_get]="crudini --get $file $last key50"
commands[inifile_set]="$inifile --dialect=common set $file $last key50 changed"
commands[crudini_set]="crudini --set $file $last key50 changed"
[ "$(${commands[inifile_get]})" = "$(${commands[crudini_get]})" ] ||
    { echo "the two tools read different values" >&2; exit 1; }

for ((run = 0; run < runs; run++)); do
    for name in inifile_get crudini_get inifile_set crudini_set; do
        /usr/bin/time -f '%e %M' -o "$scratch/one" ${commands[$name]} >/dev/null
        read -r seconds peak <"$scratch/one"
        echo "$seconds" >>"$scratch/$name.times"
        echo "$peak" >>"$scratch/$name.peak"
    done
done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
printf '%-12s %10s %12s\n' operation "median s" "peak MB"
for name in inifile_get crudini_get inifile_set crudini_set; do
    printf '%-12s %10s %12.1f\n' "$name" "$(median "$scratch/$name.times")" \
        "$(echo "$(median "$scratch/$name.peak") / 1000" | bc -l)"
done
