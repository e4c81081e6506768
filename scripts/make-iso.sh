#!/usr/bin/env bash
# Builds an ISO 9660 image of a disc folder, as a pressing plant would keep it:
# 8.3 upper-case names (ISO level 1) with Joliet names beside them, and a
# volume label.
#
#   scripts/make-iso.sh DISC_FOLDER IMAGE [LABEL]
set -euo pipefail
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "usage: scripts/make-iso.sh DISC_FOLDER IMAGE [LABEL]   (LABEL defaults to SAMPLE_ADVENTURE)" >&2
    exit 2
fi
folder=$1 image=$2 label=${3:-SAMPLE_ADVENTURE}
if [ ! -d "$folder" ]; then
    echo "make-iso: $folder is not a folder" >&2
    exit 2
fi
if ! command -v xorriso >/dev/null; then
    "$(dirname "$0")/setup-machine.sh"
fi
xorriso -as mkisofs -quiet -iso-level 1 -J -V "$label" -o "$image.new" "$folder"
mv "$image.new" "$image"
