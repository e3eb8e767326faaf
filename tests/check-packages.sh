#!/usr/bin/env bash
# Checks the release files in DIST against the programs they were made from: the version of the
# programs in every name and in both setups, each zip holding exactly that target's program and
# the user guide in CR LF lines, setups of the right machine type, and SHA256SUMS over all four.
# Usage: check-packages.sh DIST WIN64_EXE WIN32_EXE OBJDUMP
set -uo pipefail
dist=$1
exe64=$2
exe32=$3
objdump=$4
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
bad() {
    echo "FAIL: $*"
    status=1
}

version=$(python3 "$root/scripts/exe_version.py" "$exe64") || exit 1
echo "version resource of $exe64: $version"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

expected="Ipshifter-$version-setup-x64.exe
Ipshifter-$version-setup-x86.exe
Ipshifter-$version-win32.zip
Ipshifter-$version-win64.zip
SHA256SUMS"
present=$(cd "$dist" && ls | sort)
[ "$present" = "$expected" ] || bad "release files: expected
$expected
found
$present"

for pair in "win64:$exe64" "win32:$exe32"; do
    target=${pair%%:*}
    exe=${pair#*:}
    zipfile=$dist/Ipshifter-$version-$target.zip
    [ -f "$zipfile" ] || continue
    listed=$(unzip -Z1 "$zipfile" | sort | tr '\n' ' ')
    [ "$listed" = "Ipshifter-Guide.txt Ipshifter.exe " ] ||
        bad "$target zip holds: $listed"
    mkdir -p "$work/$target"
    unzip -q -o "$zipfile" -d "$work/$target" || bad "$target zip does not unpack"
    cmp -s "$work/$target/Ipshifter.exe" "$exe" || bad "$target zip: Ipshifter.exe is not $exe"
    guide=$work/$target/Ipshifter-Guide.txt
    [ -s "$guide" ] || {
        bad "$target zip: no user guide"
        continue
    }
    # Every line, the last one too, ends with CR LF; no CR elsewhere.
    lines=$(wc -l <"$guide")
    crlf=$(grep -c $'\r$' "$guide")
    crs=$(tr -cd '\r' <"$guide" | wc -c)
    [ "$(tail -c 2 "$guide" | od -An -c | tr -d ' ')" = '\r\n' ] || bad "$target guide: last line without CR LF"
    [ "$lines" = "$crlf" ] && [ "$crs" = "$lines" ] ||
        bad "$target guide: $lines lines, $crlf end in CR LF, $crs CR in all"
    # The topics a user looks for.
    for topic in "INSTALL" "START AT LOGON" 'schtasks /Create /F /TN "Ipshifter" /SC ONLOGON /RL HIGHEST' \
        'schtasks /Delete /F /TN "Ipshifter"' "PROFILES" "APPLYING" "Ipshifter.ini"; do
        grep -qF -- "$topic" "$guide" || bad "$target guide does not mention: $topic"
    done
    echo "$target zip: $listed($(wc -c <"$zipfile") bytes)"
done

for pair in "x64:pei-x86-64" "x86:pei-i386"; do
    arch=${pair%%:*}
    format=${pair#*:}
    setup=$dist/Ipshifter-$version-setup-$arch.exe
    [ -f "$setup" ] || continue
    got=$("$objdump" -f "$setup" | sed -n 's/.*file format //p')
    [ "$got" = "$format" ] || bad "setup-$arch is $got, not $format"
    setup_version=$(python3 "$root/scripts/exe_version.py" "$setup")
    [ "$setup_version" = "$version" ] || bad "setup-$arch carries version $setup_version"
    echo "setup-$arch: $got, version $setup_version ($(wc -c <"$setup") bytes)"
done

if [ -f "$dist/SHA256SUMS" ]; then
    summed=$(awk '{print $2}' "$dist/SHA256SUMS" | sort | tr '\n' ' ')
    want=$(echo "$expected" | grep -v SHA256SUMS | tr '\n' ' ')
    [ "$summed" = "$want" ] || bad "SHA256SUMS covers: $summed"
    (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || bad "SHA256SUMS does not match the files"
fi
exit $status
