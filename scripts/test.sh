#!/usr/bin/env bash
# Installs what is missing, builds both targets with their tests and runs every test of the
# 64-bit build under Wine on a virtual display (the 32-bit tests are compiled, not run). Extra
# arguments go to ctest (for example -R Startup).
set -euo pipefail
. "$(dirname "$0")/lib.sh"

ensure_packages
build_32 ON
build_64 ON
# The display comes first: Wine's desktop takes the one its first process sees.
start_display
trap 'stop_wine; stop_display' EXIT
use_prefix "$BUILD64/wineprefix"
unmanaged_windows
start_wine
cd "$BUILD64"
ctest --output-on-failure --timeout 600 "$@"
