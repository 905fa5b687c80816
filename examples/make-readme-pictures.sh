#!/usr/bin/env bash
# Renders the README's before/after pictures from sample.png with the built
# renderer (build/native/bin/ostrel-render, or the one given as $1).
set -euo pipefail
cd "$(dirname "$0")"
render="${1:-../build/native/bin/ostrel-render}"

"$render" sample.png after-defaults.png
"$render" --direction vertical --width 6 --mode hue --threshold 3 \
    --edge-mode color --edge-color 1a1a2e sample.png after-vertical-hue.png
"$render" --width 24 --minimum-length 30 --edge-thickness 3 --edge-lightness 0.5 \
    --color-invert sample.png after-bricks.png
echo "Wrote after-defaults.png, after-vertical-hue.png and after-bricks.png in $(pwd)"
