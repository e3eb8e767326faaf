#!/usr/bin/env bash
# Writes the release files into OUTDIR from the two built programs: a portable zip and a setup
# for each target, and SHA256SUMS. The version in every name is the one in the programs' version
# resource. Used by package.sh and by the tests.
#
# With IPSHIFTER_SIGN_PFX naming a code-signing certificate (see sign.sh for the other
# IPSHIFTER_SIGN_ variables), both programs, both uninstallers and both setups are signed, and
# the checksums are those of the signed files; without it everything is left unsigned.
# Usage: make_dist.sh OUTDIR WIN64_EXE WIN32_EXE
set -euo pipefail
. "$(dirname "$0")/lib.sh"

fail() {
    echo "make_dist.sh: $*" >&2
    exit 1
}

[ $# -eq 3 ] || fail "usage: make_dist.sh OUTDIR WIN64_EXE WIN32_EXE"
out=$1
exe64=$2
exe32=$3
for exe in "$exe64" "$exe32"; do
    [ -f "$exe" ] || fail "missing program: ${exe:-(the 32-bit Ipshifter.exe was not given)}"
done
# makensis reads paths from the script's folder.
exe64=$(realpath "$exe64")
exe32=$(realpath "$exe32")
for tool in makensis zip sha256sum python3; do
    command -v "$tool" >/dev/null || fail "$tool is missing (./scripts/package.sh installs it)"
done
sign=""
if [ -n "${IPSHIFTER_SIGN_PFX:-}" ]; then
    [ -r "$IPSHIFTER_SIGN_PFX" ] || fail "cannot read the certificate IPSHIFTER_SIGN_PFX=$IPSHIFTER_SIGN_PFX"
    command -v osslsigncode >/dev/null ||
        fail "osslsigncode is missing (./scripts/package.sh installs it)"
    sign=$ROOT/scripts/sign.sh
    log "signing with $IPSHIFTER_SIGN_PFX"
else
    log "no certificate (IPSHIFTER_SIGN_PFX is not set): the release is not signed"
fi

# The names the setup finds the program by and the files it leaves, from the program's header.
names=$ROOT/src/base/names.h
name_of() {
    local value
    value=$(sed -n "s/^inline constexpr char $1\[\] = \"\(.*\)\";\$/\1/p" "$names")
    [ -n "$value" ] || fail "$names does not define $1"
    printf '%s' "$value"
}
name_defines=(-DMAIN_CLASS="$(name_of kMainWindowClass)" -DMAIN_TITLE="$(name_of kMainWindowTitle)"
    -DPROFILE_FILE="$(name_of kProfileFileName)"
    -DPROFILE_SAVE_SUFFIX="$(name_of kProfileSaveSuffix)"
    -DSCRIPT_FILE="$(name_of kScriptFileName)" -DPROGRESS_FILE="$(name_of kProgressFileName)")

version=$(python3 "$ROOT/scripts/exe_version.py" "$exe64")
version32=$(python3 "$ROOT/scripts/exe_version.py" "$exe32")
[ "$version" = "$version32" ] ||
    fail "the programs disagree: $exe64 is $version, $exe32 is $version32"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/Ipshifter-*-win64.zip "$out"/Ipshifter-*-win32.zip "$out"/Ipshifter-*-setup-*.exe \
    "$out"/SHA256SUMS

# Notepad before Windows 10 shows LF-only text as one line.
guide=$work/Ipshifter-Guide.txt
if grep -q $'\r' "$ROOT/docs/user-guide.txt"; then
    fail "docs/user-guide.txt must have LF line ends (CR LF is added here)"
fi
sed 's/$/\r/' "$ROOT/docs/user-guide.txt" >"$guide"

# The programs as they are released: signed when there is a certificate.
signed_copy() { # $1: win64|win32, $2: program; prints the copy's path
    local copy=$work/program-$1/Ipshifter.exe
    mkdir -p "$(dirname "$copy")"
    cp "$2" "$copy"
    touch -r "$2" "$copy"
    if [ -n "$sign" ]; then
        IPSHIFTER_SIGNED_COPIES=${IPSHIFTER_SIGNED_COPIES:+$IPSHIFTER_SIGNED_COPIES/$1} "$sign" "$copy"
        touch -r "$2" "$copy"
    fi
    printf '%s' "$copy"
}
exe64=$(signed_copy win64 "$exe64")
exe32=$(signed_copy win32 "$exe32")

zip_target() { # $1: win64|win32, $2: program
    local dir=$work/$1
    mkdir -p "$dir"
    cp "$2" "$dir/Ipshifter.exe"
    cp "$guide" "$dir/Ipshifter-Guide.txt"
    touch -r "$2" "$dir/Ipshifter.exe" "$dir/Ipshifter-Guide.txt"
    (cd "$dir" && zip -q -X "$out/Ipshifter-$version-$1.zip" Ipshifter.exe Ipshifter-Guide.txt)
}
zip_target win64 "$exe64"
zip_target win32 "$exe32"

setup_target() { # $1: x64|x86, $2: program
    local signing=()
    [ -n "$sign" ] && signing=(-DSIGN="$sign")
    IPSHIFTER_SIGNED_COPIES=${IPSHIFTER_SIGNED_COPIES:+$IPSHIFTER_SIGNED_COPIES/setup-$1} \
        makensis -V2 -WX -DARCH="$1" -DEXE="$2" -DGUIDE="$guide" \
        -DICON="$ROOT/resources/Ipshifter.ico" -DOUTDIR="$out" "${name_defines[@]}" \
        "${signing[@]}" "$ROOT/installer/Ipshifter.nsi" >"$work/makensis-$1.log" 2>&1 ||
        { cat "$work/makensis-$1.log" >&2; fail "makensis failed for $1"; }
    # The script names the file from the version it reads itself.
    [ -f "$out/Ipshifter-$version-setup-$1.exe" ] ||
        fail "makensis did not write Ipshifter-$version-setup-$1.exe"
}
setup_target x64 "$exe64"
setup_target x86 "$exe32"

files="Ipshifter-$version-win64.zip Ipshifter-$version-win32.zip
Ipshifter-$version-setup-x64.exe Ipshifter-$version-setup-x86.exe"
(cd "$out" && sha256sum $files >SHA256SUMS)
log "release $version in $out:"
(cd "$out" && ls -l $files SHA256SUMS) >&2
