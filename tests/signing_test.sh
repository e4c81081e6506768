#!/usr/bin/env bash
# The signing of a disc, end to end: a throwaway certificate authority with an
# RSA and an EC code-signing certificate, made here and removed afterwards; a
# copy of this build's sample disc (laid out by SETUPMK) signed by
# scripts/sign-disc.sh, verified by osslsigncode against that authority,
# checked by SETUPCHK, toured by the run command's disc tour (so the signed
# SETUP.EXE is seen to run), then changed in three ways SETUPCHK must tell.
# Run by CTest inside the test command's Wine environment.
#
#   signing_test.sh WINE_EXEC SETUPCHK.EXE DISCTOUR.EXE DISC
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
wine_exec=$1 checker=$2 tour=$3 sample=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
check() {  # check DESCRIPTION ACTUAL EXPECTED
    if [ "$2" != "$3" ]; then
        echo "FAIL $1: got \"$2\", expected \"$3\""
        failures=$((failures + 1))
    fi
}
sums() { (cd disc && find . -type f -exec sha256sum {} + | sort); }
# The sorted checks of SETUPCHK's findings on the disc, or each finding's
# check, key and problem with "problems".
findings() {
    "$wine_exec" "$checker" --json "Z:${work//\//\\}\\disc" | python3 -c '
import json, sys
report = json.load(sys.stdin)
if sys.argv[1] == "problems":
    for f in report["findings"]: print(f["check"], f["key"], f["problem"])
else:
    print(" ".join(sorted(f["check"] for f in report["findings"])))' "${1:-checks}"
}

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Test Authority" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
printf '%s\n' basicConstraints=critical,CA:FALSE keyUsage=critical,digitalSignature extendedKeyUsage=codeSigning >leaf.cnf
openssl rand -hex 12 >password
openssl req -newkey rsa:2048 -nodes -keyout rsa.key -out rsa.csr -subj "/CN=Test Publisher" 2>/dev/null
openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ec.key -out ec.csr -subj "/CN=Test Publisher" 2>/dev/null
for name in rsa ec; do
    openssl x509 -req -in "$name.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile leaf.cnf \
        -out "$name.pem" 2>/dev/null
    openssl pkcs12 -export -inkey "$name.key" -in "$name.pem" -certfile ca.pem -passout file:password -out "$name.pfx"
done
cp -r "$sample" disc
programs=(SETUP.EXE DSETUP.dll DATA/GAME.EXE DATA/DXSETUP.EXE)
unsigned_checks=$(findings)
check "the unsigned disc" "$(grep -ow unsigned <<<"$unsigned_checks")" unsigned

# Refused before anything is touched: exit code, and a word of the reason.
unsigned_sums=$(sums)
sign() { "$root/scripts/sign-disc.sh" "$@" 2>&1; }
while IFS='|' read -r password arguments code reason; do
    out=$(SIGN_PASSWORD=$password sign disc $arguments)
    check "refused ($arguments): exit" "$?" "$code"
    check "refused ($arguments): the reason" "$(grep -c "$reason" <<<"$out")" 1
done <<EOF
$(cat password)|ec.pfx DATA/GAME.EXE|2|RSA signatures only
wrong|rsa.pfx|2|does not open with the password
$(cat password)|rsa.pfx DATA/NONE.EXE|2|not a file
$(cat password)|rsa.pfx ../disc/SETUP.INI|2|not a path inside
EOF
check "refused: files changed" "$(diff <(sums) <(echo "$unsigned_sums") | grep -c '^<')" 0
# A file that cannot be signed keeps its bytes, and nothing half-made stays.
out=$(sign disc rsa.pfx --password-file password DATA/README.TXT)
check "one file not signed: exit" "$?" 1
check "one file not signed: its line" "$(grep -c '^DATA/README.TXT: NOT signed: .*; the file is unchanged$' <<<"$out")" 1
check "one file not signed: its bytes" "$(sums | grep README)" "$(grep README <<<"$unsigned_sums")"
check "nothing half-made" "$(find disc -name '.signing*' | wc -l)" 0

# Signed with the password from the environment, then again from a file: one
# line a file, and only the programs change.
out=$(SIGN_PASSWORD=$(cat password) sign disc rsa.pfx DATA/GAME.EXE DATA/DXSETUP.EXE)
check "signed from the environment: exit" "$?" 0
out=$(sign disc rsa.pfx --password-file password DATA/GAME.EXE DATA/DXSETUP.EXE)
check "signed from a file: exit" "$?" 0
check "signed: the lines" "$out" "$(printf '%s: signed (SHA-256)\n' "${programs[@]}")"
check "signed: what changed" "$(diff <(sums) <(echo "$unsigned_sums") | grep -c '^>')" 4
verified=0
for program in "${programs[@]}"; do
    osslsigncode verify -CAfile ca.pem -in "disc/$program" >/dev/null 2>&1 && verified=$((verified + 1))
done
check "signed: verified by osslsigncode" "$verified" 4
check "signed: SETUPCHK" "$(findings)" "$(sed 's/ *\bunsigned\b//' <<<"$unsigned_checks")"

SETUP_TEST_SHOTS=${SETUP_TEST_SHOTS:-$work} "$wine_exec" "$tour" "Z:${work//\//\\}\\disc"
check "the signed disc toured" "$?" 0

# A byte of the program, of the signed content, and of the signature itself.
python3 - disc <<'EOF'
import struct, sys
def change(path, where):
    with open(path, "r+b") as f:
        data = bytearray(f.read())
        header = struct.unpack_from("<I", data, 0x3C)[0]
        directories = header + 24 + (96 if struct.unpack_from("<H", data, header + 24)[0] == 0x10B else 112)
        table, _ = struct.unpack_from("<II", data, directories + 4 * 8)
        # The signature's DER ends before the table's padding.
        signature = table + 8
        end = signature + 4 + int.from_bytes(data[signature + 2:signature + 4], "big")
        at = {"code": 0x600,
              # A letter of the "<<<Obsolete>>>" link (UTF-16 big-endian) in the signed content, after the image's digest.
              "content": data.find("Obsolete".encode("utf-16-be"), table),
              "signature": end - 1}[where]
        data[at] ^= 0x20
        f.seek(0)
        f.write(data)
for path, where in (("SETUP.EXE", "code"), ("DSETUP.dll", "content"), ("DATA/GAME.EXE", "signature")):
    change(sys.argv[1] + "/" + path, where)
EOF
check "changed: SETUPCHK" "$(findings problems | grep '^bad-signature' | sed 's/ (.*//')" "$(printf '%s\n' \
    'bad-signature SETUP.EXE 署名の後で中身が変わっています' \
    'bad-signature DSETUP.dll 署名が壊れています' \
    'bad-signature DATA\GAME.EXE 署名が壊れています')"

exit $((failures > 0))
