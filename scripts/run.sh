#!/usr/bin/env bash
# The run command: installs what is missing, builds, lays out the sample disc
# and starts SETUP.EXE from it under Wine in a virtual desktop.
#
# With a usable $DISPLAY the program is yours to work with; its Wine prefix
# (build/run-prefix) is kept, so an installation survives to the next run.
# Without one it tours the program on Xvfb: the sample disc goes into a CD-ROM
# drive (when root may mount it; else the disc folder is used), and the
# journey driver installs, uninstalls, installs again and runs the game,
# saving a picture of every screen into build/screenshots, numbered in order.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-machine.sh
scripts/build.sh >/dev/null

# The shipped 32-bit disc, under 32-bit Wine.
disc="$PWD/build/i686/disc"
source scripts/wine-env.sh

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    use_wine_prefix "$PWD/build/run-prefix"
    cd "$disc"
    $WINE64 explorer /desktop=CDSetup,1024x768 SETUP.EXE
    exit 0
fi

start_display
prefix=$(mktemp -d /tmp/cdsetup-run.XXXXXX)
wine_env_cleanups+=("rm -rf '$prefix'")
start_wine_prefix "$prefix"
scripts/make-iso.sh "$disc" build/i686/disc.iso
cdrom_drive D build/i686/disc.iso
keep_desktop

shots="$PWD/build/screenshots"
rm -rf "$shots"
mkdir -p "$shots"
from=${SETUP_TEST_CDROM:-$(winepath -w "$disc" 2>/dev/null)}
# The tour does not take the disc out.
unset SETUP_TEST_EJECT SETUP_TEST_INSERT
if ! (cd build/i686/tests && $WINE64 journey.exe "$from" --shots "$shots"); then
    echo "run: the tour stopped; see $shots" >&2
    exit 1
fi
echo "Pictures of every screen, in order: $shots"
ls "$shots"
