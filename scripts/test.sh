#!/usr/bin/env bash
# Builds everything and runs every test suite: natively, under the sanitizers,
# the Windows DLLs under wine64 and the i386 build under qemu-i386.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)

echo "== native build and tests"
cmake --preset native -G Ninja
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize -G Ninja
cmake --build --preset sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset sanitize -j "$jobs"

echo "== Windows DLLs (mingw-w64): static checks of both, the x86-64 one under wine64"
# The i386 DLL first: the x86-64 build's checks compare the two.
cmake --preset win32
cmake --build --preset win32 -j "$jobs"
ctest --preset win32
cmake --preset win64
cmake --build --preset win64 -j "$jobs"
ctest --preset win64

echo "== The i386 variant: static test programs under qemu-i386"
cmake --preset i386
cmake --build --preset i386 -j "$jobs"
ctest --preset i386 -j "$jobs"
