#!/usr/bin/env bash
# What the commands take from scripts/: the 32-bit probe, both ways, and the
# labels make-iso.sh gives a disc, read back from the image. Run by CTest inside the test command's Wine
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

# Both volume labels of an image, "ISO 9660|Joliet", read from its volume
# descriptors (isoinfo and xorriso report only the first).
image_labels() {
    /usr/bin/python3 - "$1" <<'PYTHON'
import sys
data = open(sys.argv[1], "rb").read()
labels = {}
for sector in range(16, 64):
    descriptor = data[sector * 2048:(sector + 1) * 2048]
    if descriptor[1:6] != b"CD001" or descriptor[0] == 255:
        break
    if descriptor[0] == 1:
        labels["iso"] = descriptor[40:72].decode("ascii", "replace").rstrip(" ")
    elif descriptor[0] == 2 and descriptor[88:91] == b"%/E":
        labels["joliet"] = descriptor[40:72].decode("utf-16-be").rstrip(" ")
print(f"{labels.get('iso')}|{labels.get('joliet')}")
PYTHON
}

label() {
    local work cases
    work=$(mktemp -d)
    # the ISO 9660 label|the Joliet label, or "refused" and what the refusal
    # says|LABEL given|the description file, as printf's format
    cases=(
        'SAMPLEADVENTURE|SampleAdventure||[InstallInfo]\r\nGAME_NAME=x\r\nREG_NAME=SampleAdventure\r\n'
        'SOME_GAME_2|Some Game-2||[InstallInfo]\r\nREG_NAME=Maker\\Some Game-2\r\n'
        'refused|has 22 characters||[InstallInfo]\r\nREG_NAME=Maker\\ALongerNameThanSixteen\r\n'
        'GAME|Game||[InstallInfo]\r\nREG_NAME=Maker\\Game\\\r\n'
        'XY|X表Y||[InstallInfo]\r\nREG_NAME=Maker\\X\x95\x5cY\r\n'
        'CDROM|サンプル||[InstallInfo]\r\nREG_NAME=\x83\x54\x83\x93\x83\x76\x83\x8b\r\n'
        'CDROM|CDROM||[InstallInfo]\r\nGAME_NAME=x\r\n'
        'QUOTED|Quoted||[Other]\r\nREG_NAME=Elsewhere\r\n[installinfo]\r\n reg_name = "Quoted" \r\nREG_NAME=Second\r\n'
        'GIVEN_LABEL|GIVEN_LABEL|GIVEN_LABEL|[InstallInfo]\r\nREG_NAME=Other\r\n'
        'CDROM|サンプルアドベンチャー|サンプルアドベンチャー|'
        'DISC_2|Disc 2 ディスク|Disc 2 ディスク|'
        'refused|has 17 characters|ABCDEFGHIJKLMNOPQ|'
        'refused|which a Joliet label cannot|Disc: 2|'
        'refused|is empty| |'
    )
    local entry expected said given number=0 status
    for entry in "${cases[@]}"; do
        IFS='|' read -r expected said given _ <<<"$entry"
        number=$((number + 1))
        rm -rf "$work/disc" "$work/disc.iso"
        mkdir "$work/disc"
        printf "${entry#*|*|*|}" >"$work/disc/SETUP.INI"
        status=0
        "$root/scripts/make-iso.sh" "$work/disc" "$work/disc.iso" ${given:+"$given"} 2>"$work/said" || status=$?
        if [ "$expected" = refused ]; then
            check "case $number refused" "$status $(grep -c -- "$said" "$work/said")" "2 1"
            check "case $number leaves no image" "$(ls "$work" | wc -l)" 2
        else
            check "labels of case $number" "$status $(image_labels "$work/disc.iso")" "0 $expected|$said"
        fi
    done
    rm -rf "$work"
}

case ${1:-} in
probe | label) "$1" ;;
*) echo "usage: scripts_test.sh probe | label" >&2; exit 2 ;;
esac
exit $((failures > 0))
