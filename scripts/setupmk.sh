#!/usr/bin/env bash
# SETUPMK.EXE from Linux: makes a disc from a game folder and prints the
# report in UTF-8; its exit code is SETUPMK's (0 clean, 1 written with errors,
# 2 nothing written). Paths are Linux paths; the options are SETUPMK's.
#
#   scripts/setupmk.sh --name NAME --exe FILE [...] GAME_FOLDER DISC_FOLDER
#
# SETUPMK_EXE names the program to run; by default the 64-bit build's, which
# is brought up to date first with the shipped 32-bit SETUP.EXE and DSETUP.dll
# (and nothing else of the build). Without --program the disc gets those from
# build/i686.
set -euo pipefail
source "$(dirname "$0")/wine-console.sh"
exe=${SETUPMK_EXE:-$root/build/x86_64/SETUPMK.EXE}
if [ -z "${SETUPMK_EXE:-}" ]; then
    build_only x86_64 setupmk || exit 2
    build_only i686 setup dsetup || exit 2
fi

args=() json=0 program=0 game=
while [ $# -gt 0 ]; do
    case $1 in
        --program | --directx)
            [ "$1" = --program ] && program=1
            args+=("$1" "$(windows_path "${2-}")")
            shift $(($# > 1 ? 2 : 1)) ;;
        --splash)
            args+=("$1" "${2%%=*}=$(windows_path "${2#*=}")")
            shift $(($# > 1 ? 2 : 1)) ;;
        --name | --exe | --dir | --reg | --shortcut | --shortcut-folder | --description | --icon)
            args+=("$1" ${2+"$2"})
            shift $(($# > 1 ? 2 : 1)) ;;
        --json) json=1 args+=("$1"); shift ;;
        -*) args+=("$1"); shift ;;
        *) [ -n "$game" ] || game=$1
           args+=("$(windows_path "$1")"); shift ;;
    esac
done
# Wine does not list a link whose target is gone: SETUPMK is told of each, so
# that it reports the file the disc goes without.
if [ -n "$game" ] && [ -d "$game" ]; then
    while IFS= read -r -d '' link; do
        args+=(--left-out "$(printf '%s' "${link#./}" | tr / '\\')")
    done < <(cd "$game" && find . -xtype l -print0)
fi
[ "$program" = 1 ] || args+=(--program "$(windows_path "$root/build/i686")")
set +e
run_console_tool "$json" "$exe" "${args[@]}"
exit $?
