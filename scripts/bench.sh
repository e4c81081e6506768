#!/usr/bin/env bash
# The benchmark command: measures, in one run on this machine under Wine,
#
#  1. install throughput: the real SETUP.EXE installing a copy set of about
#     512 MiB (four large files and 400 small ones, in two subfolders) through
#     its dialogs, against the floor (only what the copy algorithm mandates:
#     the 500 ms wait, every entry read from the description file, 128 KiB
#     chunks with the times set first and a synchronous message to a dialog
#     with a real progress bar after every chunk), CopyFileA per file, and
#     cp -r; medians of three rounds, the methods in rotated order;
#  2. start-up: from starting SETUP.EXE until its launcher dialog is on
#     screen, against a bare program that shows one empty dialog, both warm;
#     medians of 15 runs.
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

tools="$PWD/build/x86_64"
installtimer() { $WINE64 "$tools/bench/bench_installtimer.exe" "$@" 2>/dev/null | tr -d '\r' | tail -1; }
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
    cp "$tools/disc/SETUP.EXE" "$tools/disc/DSETUP.dll" "$disc/"
    local bytes mib
    bytes=$(du -sb "$disc/DATA" | cut -f1)
    mib=$(awk -v b="$bytes" 'BEGIN { printf "%.0f", b / 1048576 }')
    local windisc=Z:${disc//\//\\}
    local c="$WINEPREFIX/drive_c"
    local methods=(installer floor copyfile cp) round i method seconds
    declare -A times
    for round in 1 2 3; do
        for i in 0 1 2 3; do
            method=${methods[$(((i + round - 1) % 4))]}
            rm -rf "$c/Program Files/CDSetupBench" "$c/bench-floor" "$c/bench-copyfile" "$c/bench-cp"
            sync
            case $method in
            installer) seconds=$(installtimer "$windisc") ;;
            floor)
                mkdir -p "$c/bench-floor"
                seconds=$(cd "$tools/bench" && $WINE64 bench_floor.exe "$windisc\\SETUP.INI" "$windisc\\DATA" 'C:\bench-floor' "$bytes" | tr -d '\r')
                ;;
            copyfile)
                seconds=$(cd "$tools/bench" && $WINE64 bench_copyfile.exe "$windisc\\SETUP.INI" "$windisc\\DATA" 'C:\bench-copyfile' | tr -d '\r')
                ;;
            cp)
                local start end
                start=$(date +%s.%N)
                cp -r "$disc/DATA" "$c/bench-cp"
                end=$(date +%s.%N)
                seconds=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }')
                ;;
            esac
            times[$method]+="$seconds "
        done
    done
    rm -rf "$c/Program Files/CDSetupBench" "$c/bench-floor" "$c/bench-copyfile" "$c/bench-cp"

    echo
    echo "Install of $mib MiB (medians of 3 rounds):"
    local installer
    installer=$(echo ${times[installer]} | tr ' ' '\n' | median)
    for method in "${methods[@]}"; do
        seconds=$(echo ${times[$method]} | tr ' ' '\n' | median)
        awk -v m="$method" -v s="$seconds" -v mib="$mib" -v inst="$installer" -v all="${times[$method]}" \
            'BEGIN { printf "  %-9s %7.2f s  %7.1f MiB/s   installer/%-9s %5.2f   (runs: %s)\n", m, s, mib / s, m, s / inst, all }'
    done
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
    echo "Start until the first dialog is on screen (medians of 15 warm runs):"
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
