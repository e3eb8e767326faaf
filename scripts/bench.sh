#!/usr/bin/env bash
# Builds both targets and prints Ipshifter's figures against their targets, measured under Wine
# in a prefix and on a display of the bench's own: executable size and imports, start-up time
# and memory against a minimal window program, the profile store's load and save times, and
# the apply's overhead on top of its script. Exits non-zero when a target is missed.
# Arguments: [start-up runs] [apply runs]
set -euo pipefail
. "$(dirname "$0")/lib.sh"

RUNS=${1:-15}
APPLY_RUNS=${2:-7}

ensure_packages
build_32
build_64 ON
# The display comes first: Wine's desktop takes the one its first process sees.
start_display
trap 'stop_wine; stop_display' EXIT
use_prefix "$BUILD64/bench-prefix"
unmanaged_windows
start_wine

OBJDUMP=$(command -v x86_64-w64-mingw32-objdump || command -v objdump)
misses=0
# Sets VERDICT from a status (0 = target met) and counts the misses.
verdict() {
    if [ "$1" = 0 ]; then VERDICT=met; else VERDICT="NOT MET"; misses=$((misses + 1)); fi
}

echo "Executables (target: each under 1 MiB, importing system DLLs only)"
for exe in "$BUILD64/bin/Ipshifter.exe" "$BUILD32/bin/Ipshifter.exe"; do
    size=$(wc -c <"$exe")
    format=$("$OBJDUMP" -f "$exe" | sed -n 's/.*file format //p')
    size_ok=0
    [ "$size" -lt 1048576 ] || size_ok=1
    verdict $size_ok
    printf '  %-46s %-16s %-18s %s\n' "size, $format" "$size bytes" "< 1048576 bytes" "$VERDICT"
    set +e
    report=$(sh "$ROOT/tests/check-executables.sh" "$OBJDUMP" "$exe")
    imports_ok=$?
    set -e
    dlls=$(printf '%s\n' "$report" | sed -n 's/.*imports \(a DLL that is not part of Windows: \)\{0,1\}//p' |
        tr '\n' ' ')
    verdict $imports_ok
    printf '  %-46s %-35s %s\n' "imports, $format" "system DLLs only" "$VERDICT"
    printf '    %s\n' "$dlls"
done

set +e
"$WINE" "$BUILD64/bin/startup_bench.exe" "$RUNS" "$APPLY_RUNS" </dev/null
startup_status=$?
set -e
[ "$startup_status" = 0 ] || misses=$((misses + 1))

store="$BUILD64/bin/profile_store_bench.exe"
echo "Profile store (profile_store_bench.exe; save and load: median of five; linear growth is x10)"
if [ -f "$store" ]; then
    set +e
    "$WINE" "$store" </dev/null >"$BUILD64/profile_store_bench.txt"
    store_status=$?
    set -e
    # The timings, not the writer's demonstration that comes first.
    sed -n '/profiles *save/,$p' "$BUILD64/profile_store_bench.txt" | sed 's/^/  /'
    [ "$store_status" = 0 ] || { echo "  ended with status $store_status"; misses=$((misses + 1)); }
else
    echo "  not built: $store"
    misses=$((misses + 1))
fi

echo "Targets missed or failed: $misses"
[ "$misses" = 0 ]
