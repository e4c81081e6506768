#!/usr/bin/env bash
# The benchmark command: measures, in one run on this machine under Wine, the
# shipped i686 build (under 32-bit Wine) and, for comparison, the x86_64 build
# (under 64-bit Wine); where 32-bit programs cannot run, the x86_64 build alone,
# against a 64-bit peer, and it says so:
#
#  1. install throughput: the real SETUP.EXE of each build installing a copy
#     set of about 512 MiB (four large files and 400 small ones, in two
#     subfolders) through its dialogs, against the floor built for the same
#     target (only what the installer's algorithm mandates: as the progress
#     dialog opens, its own walk over the list summing the sources' sizes and
#     the free-space query; then the 500 ms wait, every entry read from the
#     description file again, 128 KiB chunks with the times set first and a
#     synchronous message to a dialog after every chunk that sets a real
#     progress bar's position; the floor's copy alone, without that opening,
#     is printed too), CopyFileA per file, cp -r, and the peer: an NSIS
#     installer with a progress page that copies the same set from a folder
#     beside it with CopyFiles (and the same installer copying nothing, for
#     its own start and end); medians of nine rounds, the methods in rotated
#     order, and each throughput ratio the median of the rounds' own ratios;
#  2. start-up of the shipped build: from starting SETUP.EXE until its
#     launcher dialog is on screen, against a bare program that shows one
#     empty dialog, both warm; medians of 15 runs.
#
#   scripts/bench.sh [install|start]    (both when no argument is given)
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}

scripts/setup-machine.sh >/dev/null
scripts/build.sh >/dev/null
source scripts/wine-env.sh
start_display
prefix=$(mktemp -d /tmp/cdsetup-bench.XXXXXX)
wine_env_cleanups+=("rm -rf '$prefix'")
start_wine_prefix "$prefix"
keep_desktop

build="$PWD/build"
choose_wine_build bench
tools="$build/$wine_build"
if [ "$wine_build" = i686 ]; then
    echo "Measuring the shipped build ($tools) under 32-bit Wine; the x86_64 build ($build/x86_64) for comparison"
else
    echo "Measuring the x86_64 build ($tools) under 64-bit Wine, against a 64-bit peer"
fi
installtimer() { $WINE64 "$build/$1/bench/bench_installtimer.exe" "${@:2}" 2>/dev/null | tr -d '\r' | tail -1; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
machine="$(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(lscpu | sed -n 's/^Model name: *//p' | head -1), $($WINE64 --version)"
echo "Machine: $machine"

install_bench() {
    # The copy set, made once and kept for later runs.
    local disc=/tmp/cdsetup-bench-disc
    if [ ! -f "$disc/.complete" ]; then
        rm -rf "$disc"
        mkdir -p "$disc/DATA"
        {
            printf '[InstallInfo]\r\nGAME_NAME=Benchmark\r\nEXE_NAME=README.TXT\r\nDEFAULT_DIR=CDSetupBench\r\n'
            printf 'REG_NAME=CDSetupBench\r\nCOPYDIR=DATA\\\r\nCOPYFILE_000=README.TXT\r\nCOPYFILE_001=\\MOVIE\r\n'
            n=2
            for i in 1 2 3 4; do printf 'COPYFILE_%03d=MOVIE%d.DAT\r\n' $n $i; n=$((n + 1)); done
            printf 'COPYFILE_%03d=\\VOICE\r\n' $n; n=$((n + 1))
            for i in $(seq 1 400); do printf 'COPYFILE_%03d=V%04d.WAV\r\n' $n $i; n=$((n + 1)); done
            printf 'COPYFILE_%03d=\\\r\n' $n
        } >"$disc/SETUP.INI"
        echo "a copy set for the benchmark" >"$disc/DATA/README.TXT"
        for i in 1 2 3 4; do head -c $((96 << 20)) /dev/urandom >"$disc/DATA/MOVIE$i.DAT"; done
        for i in $(seq -w 1 400); do head -c $((320 << 10)) /dev/urandom >"$disc/DATA/V0$i.WAV"; done
        touch "$disc/.complete"
    fi
    # The peer: an NSIS installer beside the copy set, and the same installer
    # copying nothing.
    local copies
    for copies in 1 0; do
        {
            # The peer has the bitness of the build measured.
            [ "$wine_build" = i686 ] && echo 'Unicode true' || echo 'Target amd64-unicode'
            echo "OutFile \"$disc/PEER$copies.EXE\""
            echo 'Name "Benchmark"'
            echo 'InstallDir "C:\bench-nsis"'
            echo 'RequestExecutionLevel user'
            echo 'AutoCloseWindow true'
            echo 'Page instfiles'
            echo 'Section'
            echo '    SetOutPath "$INSTDIR"'
            [ $copies = 1 ] && echo '    CopyFiles "$EXEDIR\DATA\*.*" "$INSTDIR"'
            echo 'SectionEnd'
        } >/tmp/cdsetup-bench-peer.nsi
        makensis -V1 /tmp/cdsetup-bench-peer.nsi >/dev/null
    done
    rm -f /tmp/cdsetup-bench-peer.nsi
    local bytes mib
    bytes=$(du -sb "$disc/DATA" | cut -f1)
    mib=$(awk -v b="$bytes" 'BEGIN { printf "%.0f", b / 1048576 }')
    local windisc=Z:${disc//\//\\}
    local c="$WINEPREFIX/drive_c"
    local methods=(setup-x86_64 floor-x86_64 copyfile nsis nsis-empty cp) round i method seconds
    [ "$wine_build" = i686 ] && methods=(setup-i686 floor-i686 "${methods[@]}")
    local count=${#methods[@]} start end opening
    declare -A times
    local rounds=9
    for ((round = 1; round <= rounds; round++)); do
        for ((i = 0; i < count; i++)); do
            method=${methods[$(((i + round - 1) % count))]}
            rm -rf "$c/Program Files/CDSetupBench" "$c/bench-floor" "$c/bench-copyfile" "$c/bench-nsis" "$c/bench-cp"
            sync
            case $method in
            setup-*)
                cp "$build/${method#setup-}/disc/SETUP.EXE" "$build/${method#setup-}/disc/DSETUP.dll" "$disc/"
                seconds=$(installtimer "${method#setup-}" "$windisc")
                ;;
            floor-*)
                mkdir -p "$c/bench-floor"
                read -r seconds opening < <(cd "$build/${method#floor-}/bench" && $WINE64 bench_floor.exe "$windisc\\SETUP.INI" "$windisc\\DATA" 'C:\bench-floor' | tr -d '\r')
                times[$method-copy]+="$(awk -v s="$seconds" -v o="$opening" 'BEGIN { printf "%.3f", s - o }') "
                ;;
            copyfile)
                seconds=$(cd "$tools/bench" && $WINE64 bench_copyfile.exe "$windisc\\SETUP.INI" "$windisc\\DATA" 'C:\bench-copyfile' | tr -d '\r')
                ;;
            nsis | nsis-empty | cp)
                start=$(date +%s.%N)
                case $method in
                nsis) (cd "$disc" && $WINE64 PEER1.EXE >/dev/null 2>&1) ;;
                nsis-empty) (cd "$disc" && $WINE64 PEER0.EXE >/dev/null 2>&1) ;;
                cp) cp -r "$disc/DATA" "$c/bench-cp" ;;
                esac
                end=$(date +%s.%N)
                seconds=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }')
                ;;
            esac
            times[$method]+="$seconds "
        done
    done
    rm -rf "$c/Program Files/CDSetupBench" "$c/bench-floor" "$c/bench-copyfile" "$c/bench-nsis" "$c/bench-cp"

    echo
    echo "Install of $mib MiB (medians of $rounds rounds; SETUP.EXE from the start button to the completion box,"
    echo "the peer from its start to its exit):"
    declare -A median_of
    local listed=("${methods[@]}")
    for method in "${methods[@]}"; do [[ $method == floor-* ]] && listed+=("$method-copy"); done
    for method in "${listed[@]}"; do
        median_of[$method]=$(echo ${times[$method]} | tr ' ' '\n' | median)
        awk -v m="$method" -v s="${median_of[$method]}" -v mib="$mib" -v all="${times[$method]}" \
            'BEGIN { printf "  %-17s %7.2f s  %7.1f MiB/s   (runs: %s)\n", m, s, mib / s, all }'
    done
    # A throughput ratio is the median of the rounds' own ratios: the two runs
    # of a round follow each other closely, so the load of the machine's
    # neighbours, which drifts over tens of seconds, weighs on both alike.
    ratio() { paste -d' ' <(echo ${times[$1]} | tr ' ' '\n') <(echo ${times[$2]} | tr ' ' '\n') | awk '{ print $1 / $2 }' | median; }
    if [ "$wine_build" = i686 ]; then
        awk -v shipped="$(ratio setup-x86_64 setup-i686)" -v f32="$(ratio floor-i686 setup-i686)" \
            -v f64="$(ratio floor-x86_64 setup-x86_64)" -v c32="$(ratio floor-i686-copy setup-i686)" \
            -v c64="$(ratio floor-x86_64-copy setup-x86_64)" -v s32="${median_of[setup-i686]}" -v peer="${median_of[nsis]}" \
            -v empty="${median_of[nsis-empty]}" 'BEGIN {
            print "Throughput ratios, medians of the rounds'\'' own ratios:"
            printf "  shipped build against the x86_64 build               %5.2f   (target 0.8 or more)\n", shipped
            printf "  i686 SETUP.EXE against its floor                     %5.2f   (target 0.9 or more)\n", f32
            printf "  x86_64 SETUP.EXE against its floor                   %5.2f   (target 0.9 or more)\n", f64
            printf "  the same against the floor'\''s copy alone             %5.2f (i686) %5.2f (x86_64)\n", c32, c64
            printf "The peer'\''s copying (nsis - nsis-empty, medians)        %5.2f s\n", peer - empty
            printf "  shipped build against the peer'\''s copying (time)      %5.2f   (target 5 or less)\n", s32 / (peer - empty) }'
    else
        awk -v f64="$(ratio floor-x86_64 setup-x86_64)" -v c64="$(ratio floor-x86_64-copy setup-x86_64)" \
            -v s64="${median_of[setup-x86_64]}" -v peer="${median_of[nsis]}" -v empty="${median_of[nsis-empty]}" 'BEGIN {
            print "Throughput ratios of the x86_64 build (the shipped i686 build cannot run here), medians of the rounds'\'' own ratios:"
            printf "  x86_64 SETUP.EXE against its floor                   %5.2f   (target 0.9 or more)\n", f64
            printf "  the same against the floor'\''s copy alone             %5.2f\n", c64
            printf "The 64-bit peer'\''s copying (nsis - nsis-empty, medians) %5.2f s\n", peer - empty
            printf "  x86_64 build against the peer'\''s copying (time)       %5.2f   (target 5 or less)\n", s64 / (peer - empty) }'
    fi
}

start_bench() {
    local setup="$tools/disc/SETUP.EXE" bare="$tools/bench/bench_baredialog.exe"
    local winsetup winbare
    winsetup=Z:${setup//\//\\}
    winbare=Z:${bare//\//\\}
    starttimer() { (cd "$tools/bench" && $WINE64 bench_starttimer.exe "$1" 2>/dev/null | tr -d '\r' | tail -1); }
    # Warm: one start of each before the measured ones.
    starttimer "$winsetup" >/dev/null
    starttimer "$winbare" >/dev/null
    local s="" b="" i
    for i in $(seq 1 15); do
        s+="$(starttimer "$winsetup") "
        b+="$(starttimer "$winbare") "
    done
    local ms mb
    ms=$(echo $s | tr ' ' '\n' | median)
    mb=$(echo $b | tr ' ' '\n' | median)
    echo
    echo "Start of the $wine_build build until the first dialog is on screen (medians of 15 warm runs):"
    awk -v a="$ms" -v b="$mb" 'BEGIN { printf "  SETUP.EXE launcher %6.1f ms\n  bare dialog        %6.1f ms\n  launcher/bare       %5.2f\n", a * 1000, b * 1000, a / b }'

    # Where the launcher's own start goes: its steps timed in the program,
    # run as PROFILE.EXE from a copy of the sample disc.
    local copy=/tmp/cdsetup-bench-profile log=/tmp/cdsetup-bench-profile.log
    rm -rf "$copy" "$log"
    cp -r "$tools/disc" "$copy"
    cp "$tools/bench/bench_startprofile.exe" "$copy/PROFILE.EXE"
    cp "$copy/SETUP.INI" "$copy/PROFILE.INI"
    for i in 0 1 2 3; do cp "$copy/SETUP$i.BMP" "$copy/PROFILE$i.BMP"; done
    for i in $(seq 1 11); do (cd "$copy" && $WINE64 PROFILE.EXE "Z:${log//\//\\}" >/dev/null 2>&1); done
    echo
    echo "The launcher's start in the program, step by step (medians of 11 runs, ms):"
    awk '{ sub(/\r$/, "") } $0 == "--" { next } { step = $0; sub(/^[^ ]+ /, "", step); if (!(step in n)) order[++count] = step; v[step, ++n[step]] = $1 }
         END { for (i = 1; i <= count; i++) { s = order[i]; k = n[s]; for (a = 1; a <= k; a++) w[a] = v[s, a]
                 for (a = 1; a <= k; a++) for (b = a + 1; b <= k; b++) if (w[b] < w[a]) { t = w[a]; w[a] = w[b]; w[b] = t }
                 printf "  %7.2f  %s\n", w[int((k + 1) / 2)], s } }' "$log"
    rm -rf "$copy" "$log"
}

case $what in
install) install_bench ;;
start) start_bench ;;
*) install_bench; start_bench ;;
esac
