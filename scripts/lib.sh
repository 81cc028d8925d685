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
        apt-get update -q >/dev/null || return 1
        apt_updated=true
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@" >/dev/null
}

# The native build: compiler, CMake, Python, pkg-config (for the package
# test), GoogleTest, Google Benchmark, and what the benchmarks compare with:
# the peer libraries (simpleini converts through ICU) and GNU time for peak
# memory.
ensure_native_tools() {
    local missing=()
    command -v g++ >/dev/null || missing+=(g++)
    command -v cmake >/dev/null || missing+=(cmake)
    command -v python3 >/dev/null || missing+=(python3)
    command -v pkg-config >/dev/null || missing+=(pkg-config)
    [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
    [ -f /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev)
    [ -f /usr/include/ini.h ] && [ -f /usr/include/INIReader.h ] || missing+=(libinih-dev)
    [ -f /usr/include/SimpleIni.h ] || missing+=(libsimpleini-dev)
    [ -f /usr/include/unicode/ustdio.h ] || missing+=(libicu-dev)
    [ -f /usr/include/iniparser/iniparser.h ] || missing+=(libiniparser-dev)
    [ -x /usr/bin/time ] || missing+=(time)
    [ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"
}

# The Windows build: mingw-w64's i686 posix g++, windres (which compiles
# Install.exe's resources and reads them back for their test), GoogleTest's
# sources, wine with 32-bit support.
ensure_windows_tools() {
    local missing=()
    command -v i686-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-i686-posix)
    command -v i686-w64-mingw32-windres >/dev/null || missing+=(binutils-mingw-w64-i686)
    [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
    if ! command -v wine >/dev/null || ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null |
            grep -q 'ok installed'; then
        if is_root && ! dpkg --print-foreign-architectures | grep -qx i386; then
            echo "adding the i386 architecture for 32-bit wine"
            dpkg --add-architecture i386 && apt_updated=false
        fi
        missing+=(wine wine32:i386)
    fi
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "the Windows build needs: ${missing[*]}"
    apt_install "${missing[@]}"
}

# A wine prefix of the build's own under $1, and one persistent wine server
# with its service processes for the whole test run. Whatever the first
# Windows program starts (the server, services.exe, ...) inherits that
# program's output pipes and holds them open until the server ends: started
# by a test, they make CTest wait on the test for ever.
start_wine() {
    export WINEPREFIX="$PWD/$1/wineprefix" WINEDEBUG=-all
    mkdir -p "$1"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the wine prefix $WINEPREFIX"
    fi
    wineserver -p </dev/null >/dev/null 2>&1
    wineboot </dev/null >/dev/null 2>&1
}

stop_wine() {
    wineserver -k 2>/dev/null || true
}
