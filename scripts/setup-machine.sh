#!/usr/bin/env bash
# Installs what building, testing and running need on a Debian 12 machine:
# the mingw-w64 cross compilers, GoogleTest's sources, 64-bit Wine and beside it
# 32-bit Wine (the shipped program is 32-bit), Xvfb, the fonts, the Japanese
# locale that gives Wine ANSI code page 932, NSIS for the benchmark's peer, and
# osslsigncode with openssl for signing a disc's programs.
set -euo pipefail

packages=(
    cmake ninja-build python3 python3-pefile googletest
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine wine64 wine32:i386 xvfb xauth x11-utils imagemagick
    fonts-ipafont-gothic fonts-wine locales xorriso fuseiso fuse3 xdotool nsis
    osslsigncode openssl clang-format
)

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# wine32 comes from the i386 architecture, which apt must know before it can
# find it.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    sudo_if_needed dpkg --add-architecture i386
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_if_needed apt-get update -qq
    sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
    sudo_if_needed sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | sudo_if_needed tee -a /etc/locale.gen >/dev/null
    sudo_if_needed locale-gen >/dev/null
fi
