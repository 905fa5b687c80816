#!/usr/bin/env bash
# Builds the renderer and applies the effect to the bundled sample image.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset native -G Ninja >/dev/null
cmake --build --preset native -j "$(nproc)" --target ostrel-render ostrel_plugin
mkdir -p out
build/native/bin/ostrel-render examples/sample.png out/sample-strata.png
echo "Rendered examples/sample.png to $(pwd)/out/sample-strata.png"
