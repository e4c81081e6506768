#!/usr/bin/env bash
# The test command: installs what is missing, checks the sources' layout,
# builds both targets, checks the shipped SETUP.EXE and runs every test under
# Wine twice: the shipped i686 build under 32-bit Wine, then the x86_64 build
# under 64-bit Wine, each in a prefix of its own with its own disc in the
# CD-ROM drive. Arguments go to ctest (for example -R Launcher).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-machine.sh

echo "== Checking the sources' layout (.clang-format)"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

scripts/build.sh

echo "== Checking the discs' programs: the shipped i686 build's, then the x86_64 build's"
/usr/bin/python3 scripts/check-artifact.py build/i686/disc
/usr/bin/python3 scripts/check-artifact.py --target x86_64 build/x86_64/disc

echo "== Pressing the sample discs"
for target in i686 x86_64; do
    scripts/make-iso.sh "build/$target/disc" "build/$target/disc.iso"
done

source scripts/wine-env.sh
start_display
mkdir -p build/screenshots
rm -f build/screenshots/failed-*.png
export SETUP_TEST_SHOTS="$PWD/build/screenshots"

failed=0
for target in i686 x86_64; do
    prefix=$(mktemp -d "/tmp/cdsetup-test-$target.XXXXXX")
    wine_env_cleanups+=("rm -rf '$prefix'")
    start_wine_prefix "$prefix"
    if [ "$target" = i686 ] && ! wine_runs_32bit; then
        echo "== This machine cannot run 32-bit Windows programs under Wine ($wine_32bit_reason): the shipped i686 build is NOT tested, only x86_64"
        wineserver -k
        continue
    fi
    echo "== Running the $target tests under $([ "$target" = i686 ] && echo 32 || echo 64)-bit Wine"
    small_drive S
    cdrom_drive D "build/$target/disc.iso"
    keep_desktop
    ctest --test-dir "build/$target" --output-on-failure --no-tests=error --timeout 120 "$@" 2>&1 | to_utf8 || failed=1
    # The next suite has a prefix, drives and desktop of its own.
    wineserver -k
    wineserver -w
done
exit $failed
