#!/usr/bin/env bash
# Builds an ISO 9660 image of a disc folder, as a pressing plant would keep it:
# 8.3 upper-case names (ISO level 1) with Joliet names beside them, and a
# volume label. Links in the folder are pressed as the files they lead to.
#
#   scripts/make-iso.sh DISC_FOLDER IMAGE [LABEL]
#
# The label Windows shows is the Joliet one: LABEL exactly as given, Japanese
# included, at most 16 characters (UTF-16 units), none of them a control
# character or one of * / : ; ? \ (which Joliet names leave out). Without
# LABEL it is the last level of the disc's REG_NAME, whole; "CDROM" without
# one. The ISO 9660 label, which a system without Joliet shows, is derived
# from it: its ASCII letters and digits in upper case, any other ASCII
# character as "_" (one for a run), anything else left out; "CDROM" when
# nothing is left. A label that cannot be kept whole is refused with the
# reason (exit 2), never cut.
set -euo pipefail
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "usage: scripts/make-iso.sh DISC_FOLDER IMAGE [LABEL]   (LABEL defaults to the disc's REG_NAME)" >&2
    exit 2
fi
folder=$1 image=$2
if [ ! -d "$folder" ]; then
    echo "make-iso: $folder is not a folder" >&2
    exit 2
fi
if ! command -v xorriso >/dev/null; then
    "$(dirname "$0")/setup-machine.sh"
fi

# Prints the ISO 9660 label and the Joliet label, a tab between them, or says
# why the label cannot be kept. The description file is code page 932: a
# backslash byte may be the second byte of a character, so the value is
# decoded before it is split. Keys and the section are found as the program's
# profile lookups find them: the first match, in any case, the value without
# blanks around it or quotes.
labels() {
    /usr/bin/python3 - "$@" <<'PYTHON'
import os, re, sys
folder = sys.argv[1]
if len(sys.argv) > 2:
    label, origin = sys.argv[2], "LABEL"
else:
    names = [n for n in os.listdir(folder) if n.upper() == "SETUP.INI"]
    value = ""
    if names:
        with open(os.path.join(folder, names[0]), "rb") as f:
            lines = f.read().decode("cp932", "replace").splitlines()
        section = None
        for line in lines:
            line = line.strip()
            if line.startswith("[") and "]" in line:
                section = line[1:line.index("]")].strip().lower()
            elif section == "installinfo" and "=" in line:
                key, _, rest = line.partition("=")
                if key.strip().lower() == "reg_name":
                    value = rest.strip()
                    if len(value) >= 2 and value[0] == value[-1] and value[0] in "\"'":
                        value = value[1:-1]
                    break
    levels = [level for level in value.split("\\") if level]
    label, origin = (levels[-1], "the last level of REG_NAME") if levels else ("CDROM", "")
units = len(label.encode("utf-16-le")) // 2
refused = sorted({c for c in label if ord(c) < 0x20 or c in "*/:;?\\"})
if not label.strip():
    why = "is empty"
elif units > 16:
    why = f"has {units} characters, and the label Windows shows (Joliet) holds 16; it is never cut"
elif refused:
    why = "holds " + " ".join(repr(c) for c in refused) + ", which a Joliet label cannot"
else:
    iso = re.sub(r"_+", "_", "".join(c.upper() if c.isalnum() else "_" for c in label if c.isascii())).strip("_")
    print(f"{iso or 'CDROM'}\t{label}")
    sys.exit(0)
advice = "give another LABEL" if origin == "LABEL" else "give a LABEL"
print(f"make-iso: the label \"{label}\" ({origin}) {why}: {advice}", file=sys.stderr)
sys.exit(2)
PYTHON
}
chosen=$(labels "$folder" "${@:3}") || exit 2
iso_label=${chosen%%$'\t'*} joliet_label=${chosen#*$'\t'}

# xorriso names itself on every start; only what it has to say about the
# image is passed on.
err=$(mktemp)
trap 'rm -f "$err"' EXIT
status=0
xorriso -as mkisofs -quiet -follow-links -iso-level 1 -J -V "$iso_label" -o "$image.new" "$folder" 2>"$err" || status=$?
grep -v -e '^xorriso [0-9.]* : RockRidge filesystem manipulator' -e '^$' "$err" >&2 || true
if [ $status -ne 0 ]; then
    rm -f "$image.new"
    exit $status
fi
# xorriso writes its one label into both volume descriptors, and would cut
# the Joliet one to 16 characters and put raw UTF-8 into the ISO 9660 one: the
# Joliet descriptor gets the label as asked, in UCS-2 big-endian, padded with
# blanks as xorriso pads it.
/usr/bin/python3 - "$image.new" "$joliet_label" <<'PYTHON' || { rm -f "$image.new"; exit 1; }
import sys
path, label = sys.argv[1], sys.argv[2]
with open(path, "r+b") as f:
    for sector in range(16, 64):
        f.seek(sector * 2048)
        descriptor = f.read(2048)
        if descriptor[1:6] != b"CD001" or descriptor[0] == 255:
            break
        if descriptor[0] == 2 and descriptor[88:91] in (b"%/@", b"%/C", b"%/E"):
            f.seek(sector * 2048 + 40)
            f.write((label + " " * 16).encode("utf-16-be")[:32])
            sys.exit(0)
sys.exit("make-iso: xorriso wrote no Joliet volume descriptor")
PYTHON
mv "$image.new" "$image"
