#!/usr/bin/env bash
# Builds the program and takes the pictures in docs/: the main window, the About window and the
# tray menu of the real program under Wine, with sample profiles on two sample connections, each
# cut out of a virtual screen. Runs in a Wine prefix and on a display of its own.
set -euo pipefail
. "$(dirname "$0")/lib.sh"

ensure_packages
build_64 ON
SHOTS=$BUILD64/shots
DRIVER=$BUILD64/bin/ipshifter_driver.exe
DOCS=$ROOT/docs

# The display comes first: Wine's desktop takes the one its first process sees.
start_display
trap 'stop_wine; stop_display' EXIT
use_prefix "$BUILD64/shots-prefix"
# The caption buttons' glyphs.
cp -n /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
# Wine draws the title bars itself (there is no window manager).
unmanaged_windows
"$WINE" regedit /S "$(winpath "$ROOT/scripts/sample-connections.reg")" >/dev/null 2>&1 </dev/null
wineserver -w
start_wine

rm -rf "$SHOTS"
mkdir -p "$SHOTS/program" "$DOCS"
cp "$BUILD64/bin/Ipshifter.exe" "$SHOTS/program/"
# Office (static, two addresses, two DNS servers, applied last) and Home (DHCP) on the wired
# connection, Hotel (DHCP, applied last) on the wireless one.
printf '%s\r\n' \
    '[PROFILES]' 'COUNT=3' 'PROFILE1=Office' 'PROFILE2=Home' 'PROFILE3=Hotel' \
    '[PROFILE1]' 'INTERFACE=Local Area Connection' 'DHCP=0' 'IPCOUNT=2' 'IP1=192.168.10.25' \
    'IP2=192.168.10.26' 'SUBNET=255.255.255.0' 'GATEWAY=192.168.10.1' 'METRIC=10' 'DNSCOUNT=2' \
    'DNS1=192.168.10.2' 'DNS2=192.168.10.3' 'SELECTED=1' \
    '[PROFILE2]' 'INTERFACE=Local Area Connection' 'DHCP=1' 'IPCOUNT=1' 'IP1=' 'SUBNET=' \
    'GATEWAY=' 'METRIC=1' 'DNSCOUNT=1' 'DNS1=' 'SELECTED=0' \
    '[PROFILE3]' 'INTERFACE=Wireless Network Connection' 'DHCP=1' 'IPCOUNT=1' 'IP1=' 'SUBNET=' \
    'GATEWAY=' 'METRIC=1' 'DNSCOUNT=1' 'DNS1=' 'SELECTED=1' \
    >"$SHOTS/program/Ipshifter.ini"

drive() { "$WINE" "$DRIVER" "$@" 2>"$SHOTS/driver.err" || { cat "$SHOTS/driver.err" >&2; return 1; }; }

# Runs a driver command that brings a window up and prints its rectangle, then cuts the window
# out of the screen into docs/$1.png.
shot() {
    local name=$1 rect x y w h
    shift
    rect=$(drive "$@" | awk '$1 == "rect" { print $2, $3, $4, $5 }')
    read -r x y w h <<<"$rect"
    [ -n "$h" ] || { log "no window rectangle from: $*"; return 1; }
    import -window root "$SHOTS/screen.png"
    convert "$SHOTS/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$DOCS/$name.png"
    log "docs/$name.png: ${w}x${h} at $x,$y"
}

log "starting the program"
(cd "$SHOTS/program" && exec "$WINE" Ipshifter.exe >/dev/null 2>&1 </dev/null) &
drive wait-main >/dev/null
# Start-up shows the first profile of the first connection: Office.
shot main-window show-main
shot about-window open-about
drive close-about
drive hide-main
shot tray-menu open-tray-menu
drive cancel-menu
log "Exit: $(drive exit)"
