#!/usr/bin/env bash
# The README's first command: installs what is missing, builds the renderer
# and the effect, and applies the effect to the bundled sample image.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset native -G Ninja >/dev/null
cmake --build --preset native -j "$(nproc)" --target ostrel-render ostrel_plugin

output="build/sample-strata.png"
build/native/bin/ostrel-render examples/sample.png "$output"
echo "Rendered examples/sample.png to $(pwd)/$output"
