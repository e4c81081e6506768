#!/usr/bin/env bash
# The run command: installs what is missing, builds, and starts a disc's
# SETUP.EXE under Wine in a virtual desktop.
#
#   scripts/run.sh [DISC_FOLDER]
#
# Without DISC_FOLDER, the sample disc this build lays out; with it, that disc
# (one made by scripts/setupmk.sh, say): pressed into an ISO image
# (build/run-disc.iso) and put into CD-ROM drive D: when root may mount it,
# else used as a folder. The shipped i686 build is used where 32-bit Windows
# programs run; elsewhere the x86_64 build, and a disc whose SETUP.EXE is
# 32-bit gets the x86_64 SETUP.EXE and DSETUP.dll in its image instead.
#
# With a usable $DISPLAY the program is yours to work with; its Wine prefix
# (build/run-prefix) is kept, so an installation survives to the next run.
# Without one it tours the program on Xvfb, saving a picture of every screen
# into build/screenshots, numbered in order: the sample disc through the
# journey driver (install, uninstall, install again, run the game), any other
# disc through the disc tour (install, uninstall), which checks the installed
# tree against the disc's copy list and prints the install's time.
set -euo pipefail
if [ $# -gt 1 ] || [[ ${1:-} == -* ]]; then
    echo "usage: scripts/run.sh [DISC_FOLDER]" >&2
    exit 2
fi
if [ $# -eq 1 ] && [ ! -d "$1" ]; then
    echo "run: $1 is not a folder" >&2
    exit 2
fi
given=${1:+$(realpath -- "$1")}
cd "$(dirname "$0")/.."

scripts/setup-machine.sh
scripts/build.sh >/dev/null
source scripts/wine-env.sh

shots="$PWD/build/screenshots"
fail() {
    echo "run: $1" >&2
    exit 1
}

# The file of the disc's root with this name, in any case.
disc_file() { find "$1" -maxdepth 1 -iname "$2" -print -quit; }

# The machine type of a PE program: 014c for i386, 8664 for x86_64.
pe_machine() {
    local offset
    offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    [ "$(od -An -c -j"$offset" -N4 "$1" | tr -d ' ')" = 'PE\0\0' ] || return 0
    od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' '
}

# The disc as the image gets it, in $disc: the folder itself, or, when its
# SETUP.EXE is 32-bit and cannot run here, a copy of it made of links with the
# x86_64 build's programs in place of the disc's.
stage_disc() {
    local folder=$1 setup name
    setup=$(disc_file "$folder" SETUP.EXE)
    [ -n "$setup" ] || fail "disc: no SETUP.EXE in $folder"
    [ -n "$(disc_file "$folder" SETUP.INI)" ] || fail "disc: no SETUP.INI in $folder"
    disc=$folder
    [ "$(pe_machine "$setup")" = 014c ] && [ "$wine_build" != i686 ] || return 0
    disc=$(mktemp -d /tmp/cdsetup-run-disc.XXXXXX)
    wine_env_cleanups+=("rm -rf '$disc'")
    cp -rs "$folder/." "$disc/"
    for name in SETUP.EXE DSETUP.dll; do
        rm -f "$(disc_file "$disc" "$name")"
        cp "build/x86_64/disc/$name" "$disc/"
    done
    echo "run: the disc's SETUP.EXE is 32-bit, which cannot run here: its image gets the x86_64 build's SETUP.EXE and DSETUP.dll instead" >&2
}

# The disc in CD-ROM drive D: (or, without root, its folder), named in $from.
insert_disc() {
    if [ -z "$given" ]; then
        disc="$PWD/build/$wine_build/disc"
        image="build/$wine_build/disc.iso"
    else
        stage_disc "$given"
        image=build/run-disc.iso
    fi
    scripts/make-iso.sh "$disc" "$image" || fail "disc image: make-iso.sh could not press $disc"
    cdrom_drive D "$image"
    from=${SETUP_TEST_CDROM:-$(winepath -w "$disc" 2>/dev/null)}
}

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    use_wine_prefix "$PWD/build/run-prefix"
    choose_wine_build run
    insert_disc
    $WINE64 explorer /desktop=CDSetup,1024x768 "${from%\\}\\SETUP.EXE" 2>&1 | to_utf8
    exit 0
fi

start_display
prefix=$(mktemp -d /tmp/cdsetup-run.XXXXXX)
wine_env_cleanups+=("rm -rf '$prefix'")
start_wine_prefix "$prefix"
choose_wine_build run
rm -rf "$shots"
mkdir -p "$shots"
insert_disc
driver="build/$wine_build/tests/journey.exe"
[ -z "$given" ] || driver="build/$wine_build/tour/disctour.exe"
keep_desktop

# The tour does not take the disc out.
unset SETUP_TEST_EJECT SETUP_TEST_INSERT
status=0
(cd "$(dirname "$driver")" && $WINE64 "$(basename "$driver")" "$from" --shots "$shots") 2>&1 </dev/null | to_utf8 || status=$?
if [ $status -ne 0 ]; then
    # A driver that could not even start left no picture of its own.
    compgen -G "$shots/failed-*.png" >/dev/null || import -window root "$shots/failed-tour.png"
    fail "the tour stopped (exit code $status); the pictures so far are in $shots"
fi
echo "Pictures of every screen, in order: $shots"
ls "$shots"
