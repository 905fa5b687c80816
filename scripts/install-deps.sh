#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, only if some
# are missing, so a second run costs nothing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config python3
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    libopenimageio-dev openimageio-tools
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine64 qemu-user g++-multilib python3-pefile
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
