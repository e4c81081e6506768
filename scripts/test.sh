#!/usr/bin/env bash
# The test command: installs what is missing, builds both targets, checks the
# shipped SETUP.EXE and runs every test under Wine. Arguments go to ctest
# (for example -R Launcher).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-machine.sh
scripts/build.sh

echo "== Checking the shipped disc's programs"
/usr/bin/python3 scripts/check-artifact.py build/i686/disc

echo "== Pressing the sample disc"
scripts/make-iso.sh build/x86_64/disc build/x86_64/disc.iso

echo "== Running the tests under Wine"
source scripts/wine-env.sh
start_display
prefix=$(mktemp -d /tmp/cdsetup-test.XXXXXX)
wine_env_cleanups+=("rm -rf '$prefix'")
start_wine_prefix "$prefix"
small_drive S
cdrom_drive D build/x86_64/disc.iso
mkdir -p build/screenshots
rm -f build/screenshots/failed-*.png
export SETUP_TEST_SHOTS="$PWD/build/screenshots"
keep_desktop
ctest --test-dir build/x86_64 --output-on-failure --timeout 120 "$@"
