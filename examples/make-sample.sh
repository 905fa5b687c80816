#!/usr/bin/env bash
# Makes examples/sample.png, the picture the README renders: a four-corner
# colour gradient with a few flat shapes over it, drawn by oiiotool so that
# the sample is entirely our own.
set -euo pipefail
cd "$(dirname "$0")"

oiiotool --nosoftwareattrib \
    --pattern fill:topleft=0.95,0.55,0.20,1:topright=0.20,0.45,0.85,1:bottomleft=0.10,0.60,0.35,1:bottomright=0.85,0.80,0.30,1 320x200 4 \
    --box:color=0.90,0.15,0.25,1:fill=1 40,30,120,110 \
    --box:color=1.00,0.95,0.85,1:fill=1 200,60,280,170 \
    --box:color=0.10,0.10,0.20,1:fill=1 90,130,230,150 \
    --box:color=0.30,0.75,0.95,1:fill=1 150,20,175,120 \
    --line:color=0.05,0.05,0.05,1 0,199,319,0 \
    -d uint8 \
    -o sample.png
echo "Wrote $(pwd)/sample.png"
