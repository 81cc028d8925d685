#!/usr/bin/env bash
# Times the installer end to end against a shell script that does the same
# work (mkdir -p bin, nine cp, vnt.ini written with printf, one more cp) on
# copies of the sample distribution, and prints the time per run and the
# ratio installer / shell.
#
#   bench/installer_vs_shell.sh [-n RUNS] [-s SHELL] [INSTALL]
#
# RUNS (default 200) runs of each, in each of two cases: a first
# installation (bin/ and vnt.ini removed before every run, off the clock) and
# a repeated one over the previous run's files, where every copy replaces a
# file. The two sides alternate run by run, so a burst of load from other
# processes hits both alike. SHELL (default /bin/sh) runs the script; INSTALL
# defaults to build/native/Install.
set -euo pipefail
export LC_ALL=C  # EPOCHREALTIME's decimal point follows the locale

here=$(cd "$(dirname "$0")" && pwd)
runs=200
shell=/bin/sh
while getopts n:s: option; do
    case $option in
        n) runs=$OPTARG ;;
        s) shell=$OPTARG ;;
        *) echo "usage: $0 [-n RUNS] [-s SHELL] [INSTALL]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
install=$(realpath "${1:-$here/../build/native/Install}")
sample=$here/../sample
[ -x "$install" ] || { echo "no installer at $install: build it first" >&2; exit 1; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/installer-bench-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# The versions are the sample's; the script stands for what an installer
# written in shell would do once it had read them.
runtime_dir=vrun-5.4.2/bin
release_dir=releases/R9
cat >"$scratch/install.sh" <<EOF
root=\$1
runtime="\$root/$runtime_dir"
release="\$root/$release_dir"
mkdir -p "\$root/bin"
for file in vnt.exe wvnt.exe vntc.exe sifter.exe tagger.exe vexec.exe; do
    cp "\$runtime/\$file" "\$root/bin/\$file"
done
cp "\$release/start_bare.boot" "\$root/bin/start_bare.boot"
cp "\$release/start_kord.boot" "\$root/bin/start_kord.boot"
cp "\$root/bin/start_bare.boot" "\$root/bin/start.boot"
printf '[vantra]\nBindir=%s\nProgname=vnt\nRootdir=%s\n' "\$runtime" "\$root" >"\$runtime/vnt.ini"
cp "\$runtime/vnt.ini" "\$root/bin/vnt.ini"
EOF

cp -r "$sample" "$scratch/installer"
cp -r "$sample" "$scratch/shell"

# Microseconds since the epoch, without starting a process.
now() {
    if [ -n "${EPOCHREALTIME:-}" ]; then
        echo "${EPOCHREALTIME/./}"
    else
        echo $(($(date +%s%N) / 1000))
    fi
}

reset() {
    rm -rf "$1/bin" "$1/$runtime_dir/vnt.ini"
}

# run_case CASE: RUNS alternating runs of each side; times in CASE.installer
# and CASE.shell, one per line, in microseconds.
run_case() {
    local case=$1 i start end
    : >"$scratch/$case.installer"
    : >"$scratch/$case.shell"
    for ((i = 0; i < runs; i++)); do
        [ "$case" = first ] && reset "$scratch/installer"
        start=$(now)
        "$install" -s "$scratch/installer"
        end=$(now)
        echo $((end - start)) >>"$scratch/$case.installer"

        [ "$case" = first ] && reset "$scratch/shell"
        start=$(now)
        "$shell" "$scratch/install.sh" "$scratch/shell"
        end=$(now)
        echo $((end - start)) >>"$scratch/$case.shell"
    done
}

# median mean min of the microseconds in file $1, in milliseconds.
statistics() {
    sort -n "$1" | awk '{ t[NR] = $1; sum += $1 }
        END {
            median = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
            printf "%.3f %.3f %.3f\n", median / 1000, sum / NR / 1000, t[1] / 1000
        }'
}

# Both sides must have done the same work, or the comparison means nothing.
check_same_result() {
    local a=$scratch/installer b=$scratch/shell
    diff <(cd "$a" && find . -type f | sort) <(cd "$b" && find . -type f | sort) >/dev/null ||
        { echo "the two sides left different files" >&2; exit 1; }
    for file in bin/start.boot bin/vnt.exe bin/start_kord.boot; do
        cmp -s "$a/$file" "$b/$file" || { echo "$file differs" >&2; exit 1; }
    done
    cmp -s <(sed "s#$a#ROOT#" "$a/bin/vnt.ini") <(sed "s#$b#ROOT#" "$b/bin/vnt.ini") ||
        { echo "vnt.ini differs" >&2; exit 1; }
}

echo "installer: $install"
echo "shell:     $shell $scratch/install.sh"
echo "$runs runs of each side per case, alternating; milliseconds per run"
echo
printf '%-10s %-10s %9s %9s %9s\n' case side median mean min
for case in first repeat; do
    run_case "$case"
    check_same_result
    read -r i_median i_mean i_min < <(statistics "$scratch/$case.installer")
    read -r s_median s_mean s_min < <(statistics "$scratch/$case.shell")
    printf '%-10s %-10s %9s %9s %9s\n' "$case" installer "$i_median" "$i_mean" "$i_min"
    printf '%-10s %-10s %9s %9s %9s\n' "$case" shell "$s_median" "$s_mean" "$s_min"
    awk -v a="$i_median" -v b="$s_median" -v c="$i_mean" -v d="$s_mean" -v case="$case" \
        'BEGIN { printf "%-10s ratio installer / shell: %.3f (medians), %.3f (means)\n\n",
                 case, a / b, c / d }'
done
echo "target: the installer's run at most 0.5x the shell's"
