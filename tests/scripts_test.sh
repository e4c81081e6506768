#!/usr/bin/env bash
# What the commands take from scripts/: the 32-bit probe, both ways, and the
# label make-iso.sh gives a disc. Run by CTest inside the test command's Wine
# environment (its prefix and display).
#
#   scripts_test.sh probe | label
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
failures=0
check() {  # check DESCRIPTION ACTUAL EXPECTED
    if [ "$2" != "$3" ]; then
        echo "FAIL $1: got \"$2\", expected \"$3\""
        failures=$((failures + 1))
    fi
}

probe() {
    # Made to answer "cannot": the x86_64 build, said in one line that gives
    # the reason.
    local note build
    note=$(mktemp)
    build=$(export CDSETUP_NO_32BIT=1; source "$root/scripts/wine-env.sh"; choose_wine_build tried 2>"$note"; echo "$wine_build")
    check "forced: the build" "$build" x86_64
    check "forced: lines said" "$(wc -l <"$note")" 1
    check "forced: the line" "$(grep -c '^tried: .*(CDSETUP_NO_32BIT=1).*x86_64' "$note")" 1

    # The real answer agrees with a 32-bit program that is not ours: Wine's
    # own command interpreter ends with the code it is given.
    local answer expected=cannot
    /usr/lib/wine/wine cmd /c exit 7 >/dev/null 2>&1 </dev/null
    [ $? -eq 7 ] && expected=can
    build=$(unset CDSETUP_NO_32BIT; source "$root/scripts/wine-env.sh"; choose_wine_build tried 2>"$note"; echo "$wine_build")
    answer=$([ "$build" = i686 ] && echo can || echo cannot)
    check "the probe's answer" "$answer" "$expected"
    check "lines said for that answer" "$(wc -l <"$note")" "$([ "$expected" = can ] && echo 0 || echo 1)"
    rm -f "$note"

    # The template is named for 32-bit programs only when its syswow64 holds
    # what they need.
    local template named filled
    template=$(source "$root/scripts/wine-env.sh"; wine_template)
    named=$([[ $template == *-wow64-* ]] && echo wow64 || echo win64)
    filled=$([ -f "$template/drive_c/windows/syswow64/kernel32.dll" ] && echo wow64 || echo win64)
    check "the template's name $template" "$named" "$filled"
}

label() {
    local work cases
    work=$(mktemp -d)
    # expected label | the description file, as printf's format
    cases=(
        'SAMPLEADVENTURE|[InstallInfo]\r\nGAME_NAME=x\r\nREG_NAME=SampleAdventure\r\n'
        'SOME_GAME_2|[InstallInfo]\r\nREG_NAME=Maker\\Some Game-2\r\n'
        'ALONGERNAMETHANS|[InstallInfo]\r\nREG_NAME=Maker\\ALongerNameThanSixteen\r\n'
        'GAME|[InstallInfo]\r\nREG_NAME=Maker\\Game\\\r\n'
        'XY|[InstallInfo]\r\nREG_NAME=Maker\\X\x95\x5cY\r\n'
        'CDROM|[InstallInfo]\r\nREG_NAME=\x83\x54\x83\x93\x83\x76\x83\x8b\r\n'
        'CDROM|[InstallInfo]\r\nGAME_NAME=x\r\n'
        'QUOTED|[Other]\r\nREG_NAME=Elsewhere\r\n[installinfo]\r\n reg_name = "Quoted" \r\nREG_NAME=Second\r\n'
    )
    local entry expected number=0
    for entry in "${cases[@]}"; do
        expected=${entry%%|*}
        number=$((number + 1))
        rm -rf "$work/disc"
        mkdir "$work/disc"
        printf "${entry#*|}" >"$work/disc/SETUP.INI"
        "$root/scripts/make-iso.sh" "$work/disc" "$work/disc.iso" 2>&1
        # The primary volume descriptor's volume identifier, blank-padded.
        check "label of case $number" "$(dd if="$work/disc.iso" bs=1 skip=32808 count=32 2>/dev/null | tr -d ' ')" "$expected"
    done
    "$root/scripts/make-iso.sh" "$work/disc" "$work/disc.iso" GIVEN_LABEL 2>&1
    check "a label given" "$(dd if="$work/disc.iso" bs=1 skip=32808 count=32 2>/dev/null | tr -d ' ')" GIVEN_LABEL
    rm -rf "$work"
}

case ${1:-} in
probe | label) "$1" ;;
*) echo "usage: scripts_test.sh probe | label" >&2; exit 2 ;;
esac
exit $((failures > 0))
