# Shared by the project's scripts: the tools a build needs, and wine.
# Sourced, not run.

is_root() { [ "$(id -u)" -eq 0 ]; }
apt_updated=false

# Installs Debian packages "$@" when running as root; false otherwise.
apt_install() {
    if ! is_root || ! command -v apt-get >/dev/null; then
        echo "missing: $* (run as root on Debian to have them installed)" >&2
        return 1
    fi
    echo "installing: $*"
    if ! $apt_updated; then
        # One index that fails (a mirror caught mid-sync) need not stop the
        # packages the others list: the install below tells.
        apt-get update -q >/dev/null 2>&1 ||
            echo "apt-get update reported a failure; installing from what it could read"
        apt_updated=true
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@" >/dev/null
}

# What building Install needs: the compiler, CMake.
ensure_build_tools() {
    local missing=()
    command -v g++ >/dev/null || missing+=(g++)
    command -v cmake >/dev/null || missing+=(cmake)
    [ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"
}

# What the native tests need besides: Python (end to end), pkg-config (the
# package test), groff (the manual page's check), abigail-tools (the ABI
# check), dpkg-dev, debhelper and lintian (the Debian packages), acl (an
# edit keeps ACLs), GoogleTest, and Google Benchmark, which the native
# preset builds so that the benchmarks stay compilable. The peers the
# benchmarks compare with are bench/setup.sh's to install.
ensure_native_tools() {
    local missing=()
    command -v g++ >/dev/null || missing+=(g++)
    command -v cmake >/dev/null || missing+=(cmake)
    command -v python3 >/dev/null || missing+=(python3)
    command -v pkg-config >/dev/null || missing+=(pkg-config)
    command -v groff >/dev/null || missing+=(groff-base)
    command -v abidiff >/dev/null || missing+=(abigail-tools)
    command -v dpkg-buildpackage >/dev/null || missing+=(dpkg-dev)
    command -v dh >/dev/null || missing+=(debhelper)
    command -v lintian >/dev/null || missing+=(lintian)
    command -v setfacl >/dev/null || missing+=(acl)
    [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
    [ -f /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev)
    [ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"
}

# The 32-bit Windows build, which ships: mingw-w64's i686 posix g++, its
# binutils (windres compiles Install.exe's resources; windres and objdump
# read them and its imports back), and GoogleTest's sources.
ensure_windows_build_tools() {
    local missing=()
    command -v i686-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-i686-posix)
    command -v i686-w64-mingw32-windres >/dev/null || missing+=(binutils-mingw-w64-i686)
    [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
    [ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"
}

# ansible-core, for the collection's suite.
ensure_ansible_tools() {
    command -v ansible-playbook >/dev/null && command -v ansible-galaxy >/dev/null && return 0
    apt_install ansible-core
}

# wine with its 32-bit loader, which runs the 32-bit build.
ensure_wine32() {
    command -v wine >/dev/null &&
        dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'ok installed' &&
        return 0
    if is_root && ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "adding the i386 architecture for 32-bit wine"
        dpkg --add-architecture i386 && apt_updated=false
    fi
    apt_install wine wine32:i386
}

# The 64-bit Windows build and wine's 64-bit loader and server.
ensure_windows64_tools() {
    local missing=()
    command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
    command -v x86_64-w64-mingw32-windres >/dev/null || missing+=(binutils-mingw-w64-x86-64)
    [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
    wine64_loader >/dev/null || missing+=(wine64)
    [ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"
}

# Prints the path of wine's 64-bit loader (Debian keeps it out of PATH).
wine64_loader() {
    local candidate
    for candidate in "$(command -v wine64)" /usr/lib/wine/wine64 /usr/lib64/wine/wine64; do
        [ -n "$candidate" ] && [ -x "$candidate" ] && { echo "$candidate"; return 0; }
    done
    return 1
}

# A wine prefix of the build's own under $1, and one persistent wine server
# with its service processes for the whole test run. Whatever the first
# Windows program starts (the server, services.exe, ...) inherits that
# program's output pipes and holds them open until the server ends: started
# by a test, they make CTest wait on the test for ever. With $2 = 64, the
# server, wineboot and so the prefix are 64-bit: a 32-bit wineboot fails
# silently where 32-bit programs cannot run, and the first test then starts
# the services itself. The server must start in the prefix's folder, so the
# folder is made first: a server that cannot start leaves wineboot to start
# one that exits 3 s after its last client, and a test that connects as it
# exits fails with "Connection reset by peer".
start_wine() {
    export WINEPREFIX="$PWD/$1/wineprefix" WINEDEBUG=-all
    local loader=wine server=wineserver
    unset WINESERVER WINELOADER WINEARCH
    if [ "${2:-32}" = 64 ]; then
        loader=$(wine64_loader) || return 1
        server="$(dirname "$loader")/wineserver64"
        [ -x "$server" ] || server=wineserver
        export WINELOADER="$loader" WINESERVER="$server" WINEARCH=win64
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the wine prefix $WINEPREFIX"
    fi
    mkdir -p "$WINEPREFIX"
    # A server left by an interrupted run may not be persistent.
    "$server" -k </dev/null >/dev/null 2>&1
    # The server keeps any pipe it is given open: its errors go to a file.
    local errors
    errors=$(mktemp)
    if ! "$server" -p </dev/null >/dev/null 2>"$errors"; then
        echo "the wine server did not start: $(head -n 1 "$errors")"
        rm -f "$errors"
        return 1
    fi
    rm -f "$errors"
    "$loader" wineboot </dev/null >/dev/null 2>&1
}

stop_wine() {
    "${WINESERVER:-wineserver}" -k 2>/dev/null || true
}

# Whether this machine runs the 32-bit Windows program $1 under wine: it is
# started with a switch it refuses, and must say so itself. A kernel without
# 32-bit support refuses wine's loader (exit 126, "Exec format error").
# Output goes to files: wine's services would hold a pipe open.
runs_windows_program() {
    local out
    out=$(mktemp)
    timeout 300 wine "$1" -x </dev/null >"$out" 2>&1
    local status=$?
    grep -q '^Unknown command switch -x' "$out"
    local said=$?
    [ $said -eq 0 ] || sed 's/^/  /' "$out" | head -n 5
    rm -f "$out"
    [ $said -eq 0 ] && [ $status -eq 1 ]
}
