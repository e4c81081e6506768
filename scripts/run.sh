#!/usr/bin/env bash
# The run command: installs what is missing, builds, and starts a disc's
# SETUP.EXE under Wine in a virtual desktop.
#
#   scripts/run.sh [DISC_FOLDER | IMAGE.iso]
#
# Without an argument, the sample disc this build lays out. An image (one
# made by scripts/make-iso.sh, the very one that goes to the plant) is put
# into CD-ROM drive D: as it is. A disc folder (one made by
# scripts/setupmk.sh, say) is checked with SETUPCHK first, and nothing runs
# when it finds errors; then it is pressed into an ISO image, put into drive
# D: when root may mount it (else used as a folder), and the image is removed
# at the end. The shipped i686 build is used where 32-bit Windows programs
# run; elsewhere the x86_64 build, and a disc whose SETUP.EXE is 32-bit gets
# the x86_64 SETUP.EXE and DSETUP.dll in an image of its own instead (an
# image's files are taken out of it for that, and it is said in one line).
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
    echo "usage: scripts/run.sh [DISC_FOLDER | IMAGE.iso]" >&2
    exit 2
fi
if [ $# -eq 1 ] && [ ! -d "$1" ] && [ ! -f "$1" ]; then
    echo "run: $1 is neither a disc folder nor an image" >&2
    exit 2
fi
given=${1:+$(realpath -- "$1")}
cd "$(dirname "$0")/.."

scripts/setup-machine.sh
scripts/build.sh >/dev/null
if [ -d "$given" ]; then
    # The checker's errors are what a user would meet while installing.
    status=0
    scripts/setupchk.sh "$given" || status=$?
    if [ $status -ne 0 ]; then
        echo "run: SETUPCHK $([ $status -eq 1 ] && echo "found errors in" || echo "could not read") $given: nothing was run" >&2
        exit 1
    fi
fi
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

# An image's files in a folder of their own, in $disc, removed at the end.
unpack_image() {
    local unpacked
    unpacked=$(mktemp -d /tmp/cdsetup-run-unpacked.XXXXXX)
    wine_env_cleanups+=("rm -rf '$unpacked'")
    xorriso -osirrox on -indev "$1" -extract / "$unpacked" >/dev/null 2>&1 || fail "disc image: $1 cannot be read"
    chmod -R u+w "$unpacked"
    stage_disc "$unpacked"
}

# Whether an image's SETUP.EXE runs here as it is.
image_runs_here() {
    local setup
    setup=$(mktemp /tmp/cdsetup-run-setup.XXXXXX)
    wine_env_cleanups+=("rm -f '$setup'")
    rm -f "$setup"
    xorriso -osirrox on -indev "$1" -extract /SETUP.EXE "$setup" >/dev/null 2>&1 || fail "disc image: no SETUP.EXE in $1"
    [ "$(pe_machine "$setup")" != 014c ] || [ "$wine_build" = i686 ]
}

# The disc in CD-ROM drive D: (or, without root, its folder), named in $from.
insert_disc() {
    if [ -z "$given" ]; then
        disc="$PWD/build/$wine_build/disc"
        image="build/$wine_build/disc.iso"
    elif [ -f "$given" ]; then
        image=$given
        if ! image_runs_here "$given"; then
            unpack_image "$given"
            echo "run: so the tour runs a copy of $given, not the image itself" >&2
            image=""
        fi
    else
        stage_disc "$given"
        image=""
    fi
    if [ -z "$image" ]; then
        image=$(mktemp /tmp/cdsetup-run-disc.XXXXXX.iso)
        wine_env_cleanups+=("rm -f '$image'")
        # Labelled as make-iso.sh labels the disc, or "CDROM" where it needs a label given.
        scripts/make-iso.sh "$disc" "$image" 2>/dev/null || scripts/make-iso.sh "$disc" "$image" CDROM ||
            fail "disc image: make-iso.sh could not press $disc"
    fi
    cdrom_drive D "$image"
    if [ -f "$given" ] && [ -z "${SETUP_TEST_CDROM:-}" ]; then
        fail "disc image: an image goes into drive D: through fuseiso, which needs root"
    fi
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
