#!/usr/bin/env bash
# SETUPCHK.EXE from Linux: checks a disc folder and prints the report in UTF-8;
# its exit code is SETUPCHK's (0 clean, 1 errors, 2 unreadable or wrong use).
#
#   scripts/setupchk.sh [--json] [DISC_FOLDER]     (default: the current folder)
#
# SETUPCHK_EXE names the program to run; by default the 64-bit build's (it
# applies the same rules as the shipped 32-bit one), brought up to date first,
# and nothing else of the build.
set -euo pipefail
source "$(dirname "$0")/wine-console.sh"
exe=${SETUPCHK_EXE:-$root/build/x86_64/checker/SETUPCHK.EXE}
[ -n "${SETUPCHK_EXE:-}" ] || build_only x86_64 setupchk || exit 2

args=() json=0 folder=.
for arg in "$@"; do
    case $arg in
        --json) json=1 args+=("$arg") ;;
        -*) args+=("$arg") ;;
        *) folder=$arg ;;
    esac
done
set +e
run_console_tool "$json" "$exe" "${args[@]}" "$(windows_path "$folder")"
exit $?
