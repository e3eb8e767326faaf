#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it under Wine in a sandbox: its own
# Wine prefix and program folder under build/, with two sample connections whose TCP/IP settings
# Windows would keep, and a stand-in for netsh (Wine's own changes nothing) that changes those
# settings as Windows' netsh does, so that an apply is checked as on Windows. It stays in the
# tray until you choose Exit from its menu. Without a DISPLAY it uses a virtual one.
set -euo pipefail
. "$(dirname "$0")/lib.sh"

ensure_packages
build_64 OFF
SANDBOX=$BUILD64/sandbox
# The display comes first: Wine's desktop takes the one its first process sees.
virtual=""
if [ -z "${DISPLAY:-}" ]; then
    start_display
    virtual=yes
    trap 'stop_wine; stop_display' EXIT
fi
use_prefix "$SANDBOX/wineprefix"
[ -n "$virtual" ] && unmanaged_windows
mkdir -p "$SANDBOX/program"
cp "$BUILD64/bin/Ipshifter.exe" "$SANDBOX/program/"
# Found before Wine's netsh: the script runs in the program folder.
cp "$BUILD64/bin/netsh_recorder.exe" "$SANDBOX/program/netsh.exe"
"$WINE" regedit /S "$(winpath "$ROOT/scripts/sample-connections.reg")" 2>/dev/null || true
[ -n "$virtual" ] &&
    log "no DISPLAY: running on $DISPLAY (see it with: import -display $DISPLAY -window root shot.png)"
log "starting $SANDBOX/program/Ipshifter.exe; Exit it from its tray menu"
cd "$SANDBOX/program"
"$WINE" Ipshifter.exe "$@"
