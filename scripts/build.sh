#!/usr/bin/env bash
# Builds the shipped 32-bit program (build/i686) and the 64-bit build of the
# same source (build/x86_64), each with its tests. Each lays out its sample
# disc in build/<target>/disc with the 64-bit SETUPMK.EXE, so that build comes
# first.
set -euo pipefail
cd "$(dirname "$0")/.."

for target in x86_64 i686; do
    # A build folder configured when only x86_64 had tests is configured again.
    if [ ! -f "build/$target/build.ninja" ] || ! grep -q '^SETUP_TESTS:BOOL=ON' "build/$target/CMakeCache.txt"; then
        cmake -S . -B "build/$target" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSETUP_TESTS=ON \
            -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$target-w64-mingw32.cmake" >/dev/null
    fi
    cmake --build "build/$target"
done
