#!/usr/bin/env bash
# Draws drvsweep's icon (a driver chip with a red sweep mark) as sweep.ico,
# 32x32 and 16x16 in 32-bit colour. Needs ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 32x32 xc:none \
  -fill '#2a4d8f' -stroke '#10203f' -draw 'rectangle 7,7 24,24' \
  -stroke '#b0b0b0' -strokewidth 2 \
  -draw 'line 10,3 10,6' -draw 'line 15,3 15,6' -draw 'line 20,3 20,6' \
  -draw 'line 10,25 10,28' -draw 'line 15,25 15,28' -draw 'line 20,25 20,28' \
  -draw 'line 3,11 6,11' -draw 'line 3,20 6,20' -draw 'line 25,11 28,11' -draw 'line 25,20 28,20' \
  -stroke '#d8201c' -strokewidth 4 -draw 'line 5,27 27,5' \
  "$tmp/icon32.png"
convert "$tmp/icon32.png" -resize 16x16 "$tmp/icon16.png"
convert "$tmp/icon32.png" "$tmp/icon16.png" sweep.ico
