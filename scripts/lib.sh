# Shared steps of the project's commands: packages, builds, the Wine prefix and the X display.
# Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_ROOT=${IPSHIFTER_BUILD_ROOT:-$ROOT/build}
BUILD64=$BUILD_ROOT/x86_64
BUILD32=$BUILD_ROOT/i686
WINE=/usr/lib/wine/wine64
JOBS=$(nproc 2>/dev/null || echo 2)

PACKAGES="wine wine64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64
binutils-mingw-w64-i686 cmake make googletest xvfb xauth fonts-wine imagemagick x11-apps
x11-utils python3 nsis zip unzip osslsigncode openssl"

log() { printf '== %s\n' "$*" >&2; }

# Installs the Debian packages that are missing (and nothing when all are there).
ensure_packages() {
    local missing="" p
    for p in $PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    log "installing:$missing"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
}

# Configures and builds one target. $1: build folder, $2: toolchain file, rest: cmake options.
build_target() {
    local dir=$1 toolchain=$2
    shift 2
    cmake -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain" \
        -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$dir" -j "$JOBS"
}

# With its tests, which cannot run here but must keep compiling (and one configuration of the
# folder serves every command).
build_32() { build_target "$BUILD32" i686-w64-mingw32.cmake -DIPSHIFTER_BUILD_TESTS=ON; }
build_64() {
    build_target "$BUILD64" x86_64-w64-mingw32.cmake -DIPSHIFTER_BUILD_TESTS="${1:-ON}" \
        -DIPSHIFTER_OTHER_EXE="$BUILD32/bin/Ipshifter.exe"
}

# A scratch Wine prefix of our own: never the user's.
use_prefix() {
    export WINEPREFIX=$1
    export WINEARCH=win64
    export WINEDEBUG=-all
    # No Mono or Gecko download prompts when the prefix is made.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        log "creating Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        "$WINE" wineboot --init >/dev/null 2>&1 </dev/null
        wineserver -w
    fi
    # Tahoma, or Wine silently falls back to another face.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    cp -n /usr/share/wine/fonts/tahoma*.ttf "$fonts/" 2>/dev/null || true
}

# With no window manager on a virtual display, Wine waits up to 2 s for one at every hide:
# let the prefix's windows go unmanaged. Done once per prefix.
unmanaged_windows() {
    local mark="$WINEPREFIX/.ipshifter-unmanaged"
    [ -f "$mark" ] && return 0
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
    touch "$mark"
}

# Starts a virtual X display on a free number and exports DISPLAY.
XVFB_PID=""
start_display() {
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
        [ -s "$fdfile" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
    log "virtual display $DISPLAY"
}

stop_display() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
}

# Starts Wine's server and services with their output detached, so that CTest does not wait
# for them after the first test.
start_wine() {
    # A server left from setting up the prefix would refuse to become the persistent one.
    wineserver -k >/dev/null 2>&1 </dev/null || true
    wineserver -p >/dev/null 2>&1 </dev/null || true
    "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null
}

stop_wine() { wineserver -k >/dev/null 2>&1 || true; }

# The Windows form of a host path (Wine maps drive Z: to /).
winpath() { printf 'Z:%s' "${1//\//\\}"; }
