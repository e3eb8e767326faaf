#!/usr/bin/env bash
# Installs what is missing, builds both targets in Release and writes the release files into
# build/dist: Ipshifter-<version>-win64.zip and -win32.zip, Ipshifter-<version>-setup-x64.exe
# and -setup-x86.exe, and SHA256SUMS.
set -euo pipefail
. "$(dirname "$0")/lib.sh"

ensure_packages
build_32
build_64 OFF
"$ROOT/scripts/make_dist.sh" "$BUILD_ROOT/dist" "$BUILD64/bin/Ipshifter.exe" \
    "$BUILD32/bin/Ipshifter.exe"
