#!/bin/sh
# Checks each Ipshifter.exe: under 1 MiB, importing only DLLs that every Windows has, and not
# those it looks up on first use (a start would pay for loading them).
# Usage: check-executables.sh OBJDUMP EXE...
objdump=$1
shift
status=0
for exe in "$@"; do
    [ -n "$exe" ] || continue
    if [ ! -f "$exe" ]; then
        echo "missing: $exe"
        status=1
        continue
    fi
    size=$(wc -c <"$exe")
    format=$("$objdump" -f "$exe" | sed -n 's/.*file format //p')
    echo "$exe: $size bytes, $format"
    if [ "$size" -ge 1048576 ]; then
        echo "  too large: $size bytes (limit 1048576)"
        status=1
    fi
    for dll in $("$objdump" -p "$exe" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z'); do
        case "$dll" in
        kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | msvcrt.dll) echo "  imports $dll" ;;
        shell32.dll | ws2_32.dll | version.dll | comctl32.dll)
            echo "  imports $dll, which it should look up on first use"
            status=1
            ;;
        *)
            echo "  imports a DLL that is not part of Windows: $dll"
            status=1
            ;;
        esac
    done
done
exit $status
