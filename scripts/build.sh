#!/usr/bin/env bash
# Builds the shipped 32-bit program (build/i686) and the 64-bit build of the
# same source (build/x86_64), each with its tests. Each lays out its sample
# disc in build/<target>/disc with the 64-bit SETUPMK.EXE, so that build comes
# first.
#
#   scripts/build.sh                   both targets, with the tests
#   scripts/build.sh TARGET NAME...    only these build targets in build/TARGET
#                                      (x86_64 or i686); a folder not yet
#                                      configured is configured without the
#                                      tests, which the whole build adds later
set -euo pipefail
cd "$(dirname "$0")/.."

configure() {  # configure TARGET ON|OFF: the build folder, with the tests or without
    cmake -S . -B "build/$1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSETUP_TESTS="$2" \
        -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$1-w64-mingw32.cmake" >/dev/null
}

if [ $# -gt 0 ]; then
    target=$1
    shift
    [ -f "build/$target/build.ninja" ] || configure "$target" OFF
    exec cmake --build "build/$target" --target "$@"
fi

for target in x86_64 i686; do
    # A build folder configured without the tests is configured again.
    if [ ! -f "build/$target/build.ninja" ] || ! grep -q '^SETUP_TESTS:BOOL=ON' "build/$target/CMakeCache.txt"; then
        configure "$target" ON
    fi
    cmake --build "build/$target"
done
