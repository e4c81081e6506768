#!/usr/bin/env bash
# Builds an ISO 9660 image of a disc folder, as a pressing plant would keep it:
# 8.3 upper-case names (ISO level 1) with Joliet names beside them, and a
# volume label. Links in the folder are pressed as the files they lead to.
#
#   scripts/make-iso.sh DISC_FOLDER IMAGE [LABEL]
#
# Without LABEL the label comes from the disc: the last level of its REG_NAME,
# in upper case, with anything but letters, digits and "_" left out or made
# "_", cut to 16 characters (what a Joliet label holds); "CDROM" when nothing
# is left.
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

# The description file is code page 932: a backslash byte may be the second
# byte of a character, so the value is decoded before it is split. Keys and
# the section are found as the program's profile lookups find them: the first
# match, in any case, the value without blanks around it or quotes.
disc_label() {
    /usr/bin/python3 - "$1" <<'EOF'
import os, re, sys
folder = sys.argv[1]
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
label = levels[-1].upper() if levels else ""
label = re.sub(r"[^A-Z0-9_]", "_", "".join(c for c in label if c.isascii()))
label = re.sub(r"_+", "_", label).strip("_")[:16].rstrip("_")
print(label or "CDROM")
EOF
}
label=${3:-$(disc_label "$folder")}

# xorriso names itself on every start; only what it has to say about the
# image is passed on.
err=$(mktemp)
trap 'rm -f "$err"' EXIT
status=0
xorriso -as mkisofs -quiet -follow-links -iso-level 1 -J -V "$label" -o "$image.new" "$folder" 2>"$err" || status=$?
grep -v -e '^xorriso [0-9.]* : RockRidge filesystem manipulator' -e '^$' "$err" >&2 || true
if [ $status -ne 0 ]; then
    rm -f "$image.new"
    exit $status
fi
mv "$image.new" "$image"
