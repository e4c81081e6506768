#!/usr/bin/env bash
# Signs the programs of a disc folder with an Authenticode signature
# (SHA-256), so that Windows names the publisher when SETUP.EXE asks for
# elevation and Smart App Control lets the programs start: SETUP.EXE,
# DSETUP.dll and each further FILE, named relative to the disc folder (such as
# DATA/GAME.EXE).
#
#   scripts/sign-disc.sh DISC_FOLDER CERT.pfx [--password-file FILE] [--timestamp URL] [FILE]...
#
# The certificate's password comes from FILE or from the environment variable
# SIGN_PASSWORD, never from the command line (where any user of the machine
# can read it); with neither, the certificate is taken to have none. With
# --timestamp an RFC 3161 time-stamping server countersigns each signature,
# which then stays valid after the certificate expires. The key must be RSA:
# Smart App Control takes no other.
#
# Each file is signed into a new file beside it, whose signature is verified
# (against the certificates in CERT.pfx and the system's) before it takes the
# file's place: a file is never left half-written. One line per file. Exit
# code 0 when every file is signed, 1 when one or more are not (they keep
# their bytes), 2 for bad arguments, a missing file or a certificate that
# cannot be used (then nothing is touched).
set -euo pipefail
usage="usage: scripts/sign-disc.sh DISC_FOLDER CERT.pfx [--password-file FILE] [--timestamp URL] [FILE]..."
fail() {  # fail MESSAGE: a bad argument or an unusable certificate; nothing was touched
    echo "sign-disc: $1" >&2
    exit 2
}

positional=() password_file= timestamp=
while [ $# -gt 0 ]; do
    case $1 in
        --password-file | --timestamp)
            [ $# -ge 2 ] || fail "$1 needs a value; $usage"
            if [ "$1" = --password-file ]; then password_file=$2; else timestamp=$2; fi
            shift 2 ;;
        --help) echo "$usage"; exit 0 ;;
        -*) fail "unknown option $1; $usage" ;;
        *) positional+=("$1"); shift ;;
    esac
done
[ ${#positional[@]} -ge 2 ] || fail "$usage"
disc=${positional[0]} pfx=${positional[1]}
files=(SETUP.EXE DSETUP.dll "${positional[@]:2}")
[ -d "$disc" ] || fail "$disc is not a folder"
[ -f "$pfx" ] && [ -r "$pfx" ] || fail "$pfx cannot be read"
[ -z "$password_file" ] || [ -r "$password_file" ] || fail "the password file $password_file cannot be read"
for file in "${files[@]}"; do
    case /$file/ in
        //* | */../*) fail "$file is not a path inside the disc folder" ;;
    esac
    # Renaming over a link would replace the link, not what it leads to.
    [ ! -L "$disc/$file" ] || fail "$file is a link; name the file it leads to"
    [ -f "$disc/$file" ] || fail "$file is not a file in $disc"
done
if ! command -v osslsigncode >/dev/null || ! command -v openssl >/dev/null; then
    "$(dirname "$0")/setup-machine.sh" >&2
fi

# The password and the certificates live in a private folder, removed on any
# exit, as does a half-made file.
umask 077
work=$(mktemp -d)
partial=
cleanup() {
    rm -rf "$work"
    [ -z "$partial" ] || rm -f "$partial"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
if [ -z "$password_file" ]; then
    password_file=$work/password
    printf '%s' "${SIGN_PASSWORD-}" >"$password_file"
fi

# Opens CERT.pfx; a file written by an older Windows needs OpenSSL's legacy ciphers.
pkcs12() {
    openssl pkcs12 -in "$pfx" -passin "file:$password_file" "$@" 2>/dev/null ||
        openssl pkcs12 -legacy -in "$pfx" -passin "file:$password_file" "$@" 2>/dev/null
}
pkcs12 -nokeys -clcerts -out "$work/signer.pem" ||
    fail "$pfx does not open with the password given (--password-file or SIGN_PASSWORD)"
algorithm=$(openssl x509 -in "$work/signer.pem" -noout -text 2>/dev/null |
    sed -n 's/^ *Public Key Algorithm: *//p' | head -n 1)
[ -n "$algorithm" ] || fail "$pfx holds no certificate for its key"
[ "$algorithm" = rsaEncryption ] ||
    fail "$pfx holds a key of type $algorithm; Smart App Control on Windows 11 accepts RSA signatures only: use an RSA certificate"
# The signature is verified against the chain the certificate comes with and
# the system's authorities.
pkcs12 -nokeys -out "$work/chain.pem" || fail "$pfx does not open with the password given"
[ ! -r /etc/ssl/certs/ca-certificates.crt ] || cat /etc/ssl/certs/ca-certificates.crt >>"$work/chain.pem"

sign_options=(-pkcs12 "$pfx" -readpass "$password_file" -h sha256)
[ -z "$timestamp" ] || sign_options+=(-ts "$timestamp")
verify_options=(-CAfile "$work/chain.pem")
# Revocation lists are the Windows side's business, and would need the network.
if osslsigncode verify --help 2>&1 | grep -q -e '-ignore-cdp'; then verify_options+=(-ignore-cdp); fi

failed=0
for file in "${files[@]}"; do
    path=$disc/$file
    log=$work/log
    # A fresh name beside the file (osslsigncode writes no existing file), so
    # that the rename that puts it in place stays within the folder.
    partial=$(mktemp "$(dirname "$path")/.signing.XXXXXX")
    rm -f "$partial"
    if ! osslsigncode sign "${sign_options[@]}" -in "$path" -out "$partial" >"$log" 2>&1; then
        reason=$(grep -v -x -e 'Failed' "$log" | grep -m 1 -i -e 'fail' -e 'error' -e 'unrecognized' -e 'unsupported' || true)
        echo "$file: NOT signed: ${reason:-osslsigncode failed}; the file is unchanged"
        failed=1
    elif ! osslsigncode verify "${verify_options[@]}" -in "$partial" >"$log" 2>&1; then
        reason=$(grep -m 1 -e 'MISMATCH' -e 'Error' -e 'error' "$log" | sed 's/^[[:space:]]*//' || true)
        echo "$file: NOT signed: the new signature does not verify (${reason:-see osslsigncode verify}); the file is unchanged"
        failed=1
    else
        chmod --reference="$path" "$partial"
        mv -f "$partial" "$path"
        echo "$file: signed (SHA-256${timestamp:+, timestamped})"
    fi
    rm -f "$partial"
    partial=
done
exit $failed
