#!/usr/bin/env bash
# The run command: installs what is missing, builds, lays out the sample disc
# and starts SETUP.EXE from it under Wine in a virtual desktop.
#
# With a usable $DISPLAY the program is yours to work with; its Wine prefix
# (build/run-prefix) is kept, so an installation survives to the next run.
# Without one it runs on Xvfb: once the launcher is up a screenshot is saved,
# its path printed, and the program closed.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-machine.sh
scripts/build.sh >/dev/null

# The 64-bit build of the same program: 32-bit Wine cannot run on this kernel.
# build/i686/disc holds the shipped 32-bit disc.
disc="$PWD/build/x86_64/disc"
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
(cd "$disc" && $WINE64 explorer /desktop=CDSetup,1024x768 SETUP.EXE >/dev/null 2>&1 &)

# The launcher is up when the backdrop's client area is white and the dialog,
# centred on the screen, is not; the picture must then hold still.
is_white() {
    case "$(convert "$1" -format "%[pixel:p{$2,$3}]" info:)" in
        white | "srgb(255,255,255)") return 0 ;;
        *) return 1 ;;
    esac
}
mkdir -p build/screenshots
shot=build/screenshots/launcher.png
previous=""
for _ in $(seq 1 100); do
    sleep 0.3
    import -display "$DISPLAY" -window root "$shot.tmp.png" 2>/dev/null || continue
    current=$(md5sum <"$shot.tmp.png")
    if is_white "$shot.tmp.png" 512 200 && ! is_white "$shot.tmp.png" 512 384 && [ "$current" = "$previous" ]; then
        mv "$shot.tmp.png" "$shot"
        echo "Screenshot of the launcher: $PWD/$shot"
        exit 0
    fi
    previous=$current
done
rm -f "$shot.tmp.png"
echo "run: the launcher did not come up within 30 seconds" >&2
exit 1
