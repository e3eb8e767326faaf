#!/usr/bin/env bash
# Packages the release with a throw-away code-signing certificate and checks every file that is
# to carry a signature with osslsigncode: both programs (in the zips), both setups, and both
# uninstallers (kept aside by the signing step, since they otherwise exist only inside the
# setups). Each must verify against that certificate, the programs must be the built ones once
# the signature is taken off again, and SHA256SUMS must be that of the signed files. A
# certificate without a password signs too.
# Usage: check-signing.sh OUTDIR WIN64_EXE WIN32_EXE
set -uo pipefail
out=$1
exe64=$2
exe32=$3
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
bad() {
    echo "FAIL: $*"
    status=1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Valid for this run only, for code signing only.
make_certificate() { # $1: name, $2: password
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Ipshifter test signing $1" \
        -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
        -keyout "$work/$1.key" -out "$work/$1.pem" >/dev/null 2>&1 &&
        openssl pkcs12 -export -inkey "$work/$1.key" -in "$work/$1.pem" -out "$work/$1.pfx" \
            -passout "pass:$2"
}
make_certificate release "a pass phrase" || {
    echo "FAIL: openssl could not make a certificate"
    exit 1
}

rm -rf "$out"
start=$(date +%s%N)
IPSHIFTER_SIGN_PFX=$work/release.pfx IPSHIFTER_SIGN_PASSWORD="a pass phrase" \
    IPSHIFTER_SIGNED_COPIES=$work/copies bash "$root/scripts/make_dist.sh" "$out" "$exe64" "$exe32" \
    2>"$work/dist.log"
made=$?
echo "signed release made in $((($(date +%s%N) - start) / 1000000)) ms"
grep -q "signing with" "$work/dist.log" || bad "make_dist.sh did not say it signs"
[ $made -eq 0 ] || {
    cat "$work/dist.log"
    echo "FAIL: make_dist.sh ended with $made"
    exit 1
}

# A file signed with the certificate: verified, and signed by it.
check_signed() { # $1: file, $2: certificate name, $3: what it is
    local log
    if ! log=$(osslsigncode verify -CAfile "$work/$2.pem" -in "$1" 2>&1); then
        bad "$3 does not verify: $(echo "$log" | tail -n 3 | tr '\n' ' ')"
    elif ! echo "$log" | grep -q "CN=Ipshifter test signing $2"; then
        bad "$3 is not signed by the test certificate"
    else
        echo "$3: signature verified ($(wc -c <"$1") bytes)"
    fi
}

version=$(python3 "$root/scripts/exe_version.py" "$exe64")
for pair in "win64:$exe64" "win32:$exe32"; do
    target=${pair%%:*}
    built=${pair#*:}
    mkdir -p "$work/$target"
    unzip -q -o "$out/Ipshifter-$version-$target.zip" Ipshifter.exe -d "$work/$target" ||
        bad "$target zip does not unpack"
    program=$work/$target/Ipshifter.exe
    check_signed "$program" release "$target Ipshifter.exe"
    osslsigncode remove-signature -in "$program" -out "$work/$target/unsigned.exe" >/dev/null 2>&1
    cmp -s "$work/$target/unsigned.exe" "$built" ||
        bad "$target Ipshifter.exe without its signature is not the built program"
done
for arch in x64 x86; do
    check_signed "$out/Ipshifter-$version-setup-$arch.exe" release "setup-$arch"
    # What the signing step kept from this setup's build: the uninstaller, then the setup.
    uninstallers=0
    for kept in "$work/copies/setup-$arch"/*; do
        [ -f "$kept" ] || continue
        [ "$(basename "$kept")" = "Ipshifter-$version-setup-$arch.exe" ] && continue
        uninstallers=$((uninstallers + 1))
        check_signed "$kept" release "uninstaller of setup-$arch"
    done
    [ $uninstallers -eq 1 ] || bad "setup-$arch: $uninstallers signed uninstallers, not 1"
done
(cd "$out" && sha256sum --quiet -c SHA256SUMS) || bad "SHA256SUMS is not that of the signed files"

# No password: an empty IPSHIFTER_SIGN_PASSWORD, as the README allows.
make_certificate bare "" || bad "openssl could not make a certificate without a password"
cp "$exe64" "$work/bare.exe"
IPSHIFTER_SIGN_PFX=$work/bare.pfx IPSHIFTER_SIGN_PASSWORD="" bash "$root/scripts/sign.sh" \
    "$work/bare.exe" || bad "sign.sh failed with an empty password"
check_signed "$work/bare.exe" bare "a program signed without a password"
exit $status
