#!/usr/bin/env bash
# Installs what the benchmarks measure against and with, as root on Debian:
# Google Benchmark, the peer libraries (simpleini converts through ICU, so
# its header needs ICU's), crudini (the command's peer), Ansible's
# community.general (the collection's), GNU time for peak memory and
# valgrind for instruction counts. The tests need none of it; a peer still
# missing is left out of the benchmarks with the reason.
set -euo pipefail

cd "$(dirname "$0")/.."
source scripts/lib.sh
ensure_native_tools

missing=()
[ -f /usr/include/ini.h ] && [ -f /usr/include/INIReader.h ] || missing+=(libinih-dev)
[ -f /usr/include/SimpleIni.h ] || missing+=(libsimpleini-dev)
[ -f /usr/include/unicode/ustdio.h ] || missing+=(libicu-dev)
[ -f /usr/include/iniparser/iniparser.h ] || missing+=(libiniparser-dev)
[ -x /usr/bin/time ] || missing+=(time)
command -v valgrind >/dev/null || missing+=(valgrind)
command -v crudini >/dev/null || missing+=(crudini)
[ -d /usr/lib/python3/dist-packages/ansible_collections/community/general ] || missing+=(ansible)
[ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"
echo "bench: set up; build with: cmake --workflow --preset native (bench is build/native/bench/bench)"
