#!/usr/bin/env bash
# Signs one Windows program in place (Authenticode, SHA-256) with the code-signing certificate in
# the PKCS#12 file IPSHIFTER_SIGN_PFX; its password is IPSHIFTER_SIGN_PASSWORD (may be empty or
# unset). With IPSHIFTER_SIGN_TIMESTAMP set, the signature gets a time stamp from that RFC 3161
# server, so that it stays valid after the certificate expires. With IPSHIFTER_SIGNED_COPIES set,
# a copy of the signed file goes into that folder too (the uninstallers exist only inside the
# setups otherwise). Used by make_dist.sh, and by makensis for the uninstallers and setups.
# Usage: sign.sh FILE
set -euo pipefail

fail() {
    echo "sign.sh: $*" >&2
    exit 1
}

[ $# -eq 1 ] || fail "usage: sign.sh FILE"
file=$1
[ -f "$file" ] || fail "no such file: $file"
pfx=${IPSHIFTER_SIGN_PFX:-}
[ -n "$pfx" ] || fail "IPSHIFTER_SIGN_PFX names no certificate"
[ -r "$pfx" ] || fail "cannot read the certificate $pfx"
command -v osslsigncode >/dev/null || fail "osslsigncode is missing (./scripts/package.sh installs it)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
args=(sign -pkcs12 "$pfx" -h sha256 -n "Ipshifter" -i "https://ipshifter.example.org/")
if [ -n "${IPSHIFTER_SIGN_PASSWORD:-}" ]; then
    # From a file, so that the password never shows in a process list.
    (umask 077 && printf '%s' "$IPSHIFTER_SIGN_PASSWORD" >"$work/pass")
    args+=(-readpass "$work/pass")
else
    args+=(-pass "")
fi
[ -n "${IPSHIFTER_SIGN_TIMESTAMP:-}" ] && args+=(-ts "$IPSHIFTER_SIGN_TIMESTAMP")
osslsigncode "${args[@]}" -in "$file" -out "$work/signed" >"$work/log" 2>&1 ||
    { cat "$work/log" >&2; fail "osslsigncode could not sign $file"; }
# In place, keeping the file's name and folder (makensis reads it back from there).
cat "$work/signed" >"$file"
if [ -n "${IPSHIFTER_SIGNED_COPIES:-}" ]; then
    mkdir -p "$IPSHIFTER_SIGNED_COPIES"
    cp "$file" "$IPSHIFTER_SIGNED_COPIES/"
fi
