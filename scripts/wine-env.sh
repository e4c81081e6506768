# Sourced by the test and run scripts: a display, a private Wine prefix and a
# persistent wineserver, all removed again when the calling script exits.
#
#   start_display            Xvfb on a free display number, unless $DISPLAY is usable
#   start_wine_prefix DIR    DIR becomes a fresh copy of the template prefix (made once per machine)
#   use_wine_prefix DIR      the same, but an existing prefix in DIR is kept
#   small_drive LETTER       a 3 MiB drive LETTER: in the prefix (a tmpfs; needs root),
#                            named in SETUP_TEST_SMALL_DRIVE for the tests
#   cdrom_drive LETTER IMAGE the ISO image mounted read-only (fuseiso; needs root) as
#                            CD-ROM drive LETTER:, named in SETUP_TEST_CDROM, with the
#                            commands that take it out and put it back in
#                            SETUP_TEST_EJECT and SETUP_TEST_INSERT
#   keep_desktop             keeps the prefix's virtual desktop open
#   wine_runs_32bit          whether a 32-bit program of ours runs in the prefix
#   choose_wine_build WHO    wine_build: i686 (the shipped build) where it does,
#                            else x86_64, with one line from WHO saying so
#   to_utf8                  a filter: lines in code page 932 out in UTF-8

WINE64=/usr/lib/wine/wine64
wine_env_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko prompts, and no .desktop files for the links the installer makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo -n "$@"; fi; }

wine_env_cleanups=()
wine_env_cleanup() {
    local i
    for ((i = ${#wine_env_cleanups[@]} - 1; i >= 0; i--)); do eval "${wine_env_cleanups[i]}" || true; done
}
trap wine_env_cleanup EXIT

start_display() {
    local number
    for number in $(seq 90 120); do
        [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] && continue
        Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        local pid=$!
        wine_env_cleanups+=("kill $pid 2>/dev/null; wait $pid 2>/dev/null")
        export DISPLAY=":$number"
        for _ in $(seq 1 50); do
            xdpyinfo >/dev/null 2>&1 && return 0
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
    done
    echo "wine-env: could not start Xvfb" >&2
    return 1
}

# What every prefix we make starts with: its windows in one virtual desktop
# (title bars are drawn, and closing a window is fast); the dialogs' Japanese
# faces replaced by IPA faces of the same metrics (Wine would pick a wider face
# and cut the labels); and Wine's Marlett in the Fonts folder, because Debian's
# Wine looks for its own fonts under a path it cannot resolve
# ("Z:\usr\share\wine\../fonts") and never loads them, so the caption
# buttons' Marlett falls back to a text face that draws their glyph codes
# "0", "1" and "r" as letters.
prepare_template() {
    $WINE64 wineboot -i >/dev/null 2>&1
    $WINE64 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    $WINE64 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    local face
    for face in "ＭＳ Ｐゴシック=IPAPGothic" "MS UI Gothic=IPAPGothic" "ＭＳ ゴシック=IPAGothic"; do
        $WINE64 reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${face%%=*}" /d "${face#*=}" /f >/dev/null 2>&1
    done
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    wineserver -w
}

# The template prefix, made once per machine. Its name carries the Wine
# version, whether 32-bit Wine could start to fill syswow64, and a digest of
# prepare_template, so a machine with an older template makes a new one.
wine_template() {
    local wow=win64 digest
    wine_32bit_loader_runs && wow=wow64
    digest=$(declare -f prepare_template | md5sum | cut -c1-8)
    local template="${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/cdsetup/wine-template-$($WINE64 --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' '_')-$wow-$digest"
    if [ ! -f "$template/.complete" ]; then
        rm -rf "$template"
        mkdir -p "$template"
        echo "Making the Wine template prefix in $template (once per machine)" >&2
        (export WINEPREFIX="$template"; prepare_template)
        touch "$template/.complete"
    fi
    echo "$template"
}

start_wine_prefix() {
    rm -rf "$1"
    use_wine_prefix "$1"
}

use_wine_prefix() {
    local prefix=$1 template
    if [ ! -d "$prefix/drive_c" ]; then
        template=$(wine_template)
        mkdir -p "$prefix"
        cp -a "$template/." "$prefix/"
        rm -f "$prefix/.complete"
    fi
    export WINEPREFIX="$prefix"
    # Persistent only when it is the first server of the prefix: start it now.
    wineserver -p
    wine_env_cleanups+=("WINEPREFIX='$prefix' wineserver -k 2>/dev/null; WINEPREFIX='$prefix' wineserver -w 2>/dev/null")
    # The first program of a prefix starts Wine's background services; they
    # keep its output open, so start them here, apart from any caller's pipes.
    $WINE64 cmd /c exit >/dev/null 2>&1 </dev/null
}

small_drive() {
    local letter=$1 folder
    folder=$(mktemp -d /tmp/cdsetup-small.XXXXXX)
    if ! sudo_if_needed mount -t tmpfs -o size=3m tmpfs "$folder" 2>/dev/null; then
        rmdir "$folder"
        echo "wine-env: no small drive (mounting a tmpfs needs root)" >&2
        return 0
    fi
    wine_env_cleanups+=("sudo_if_needed umount '$folder'; rmdir '$folder'")
    ln -s "$folder" "$WINEPREFIX/dosdevices/${letter,,}:"
    export SETUP_TEST_SMALL_DRIVE="${letter^^}:"
}

cdrom_drive() {
    local letter=${1,,} image mount
    image=$(realpath "$2")
    mount=$(mktemp -d /tmp/cdsetup-cdrom.XXXXXX)
    if ! sudo_if_needed fuseiso -p "$image" "$mount" 2>/dev/null; then
        rmdir "$mount"
        echo "wine-env: no CD-ROM drive (fuseiso needs root)" >&2
        return 0
    fi
    wine_env_cleanups+=("sudo_if_needed fusermount -u -z '$mount' 2>/dev/null; rmdir '$mount' 2>/dev/null")
    # A kept prefix still has the link of its last run.
    ln -sfn "$mount" "$WINEPREFIX/dosdevices/$letter:"
    $WINE64 reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d cdrom /f >/dev/null 2>&1
    # The drive type is read when the server starts.
    wineserver -k
    wineserver -w
    wineserver -p
    $WINE64 cmd /c exit >/dev/null 2>&1 </dev/null
    export SETUP_TEST_CDROM="${letter^^}:"
    export SETUP_TEST_EJECT="fusermount -u -z '$mount'"
    export SETUP_TEST_INSERT="fuseiso -p '$image' '$mount'"
}

# Keeps the prefix's virtual desktop open, so that programs do not pay for
# bringing it up each time their first window appears.
keep_desktop() {
    $WINE64 explorer /desktop=Default,1024x768 >/dev/null 2>&1 </dev/null &
}

# Not every machine runs 32-bit programs: some kernels refuse any i386 program
# ("Exec format error"), and then 32-bit Wine cannot start at all. The probe
# asks that first, then runs a 32-bit program of ours in the prefix, which
# leaves its command line behind. CDSETUP_NO_32BIT=1 makes it answer "cannot"
# on any machine, so that the road of those machines can be tried on one that
# can. The answer and its reason are kept for the rest of the script.
wine_32bit_answer="" wine_32bit_reason=""

wine_32bit_loader_runs() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1 </dev/null
}

wine_runs_32bit() {
    if [ "${CDSETUP_NO_32BIT:-}" = 1 ]; then
        wine_32bit_reason="CDSETUP_NO_32BIT=1"
        return 1
    fi
    if [ -z "$wine_32bit_answer" ]; then
        local probe="$wine_env_root/build/i686/tests/relaunch_probe.exe" out
        wine_32bit_answer=no
        if ! wine_32bit_loader_runs; then
            wine_32bit_reason="32-bit Wine does not start"
        elif [ ! -f "$probe" ]; then
            wine_32bit_reason="no 32-bit program to try: $probe is missing"
        elif [ -z "${WINEPREFIX:-}" ]; then
            wine_32bit_reason="no Wine prefix to try a 32-bit program in"
        else
            out=$(mktemp /tmp/cdsetup-probe.XXXXXX)
            if PROBE_OUT="Z:${out//\//\\}" /usr/lib/wine/wine "$probe" >/dev/null 2>&1 </dev/null && [ -s "$out" ]; then
                wine_32bit_answer=yes wine_32bit_reason=""
            else
                wine_32bit_reason="a 32-bit program does not run in the prefix"
            fi
            rm -f "$out"
        fi
    fi
    [ "$wine_32bit_answer" = yes ]
}

choose_wine_build() {
    wine_build=i686
    if ! wine_runs_32bit; then
        wine_build=x86_64
        echo "$1: this machine cannot run 32-bit Windows programs under Wine ($wine_32bit_reason): using the x86_64 build, not the shipped i686 one" >&2
    fi
}

# Wine writes its own messages in the ANSI code page, 932 here, and so do our
# programs; the terminal reads UTF-8. A line already in UTF-8 passes as it is.
to_utf8() {
    /usr/bin/python3 -u -c '
import sys
for line in sys.stdin.buffer:
    try:
        text = line.decode("utf-8")
    except UnicodeDecodeError:
        text = line.decode("cp932", "replace")
    sys.stdout.write(text.replace("\r", ""))
    sys.stdout.flush()
'
}
