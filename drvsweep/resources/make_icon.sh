#!/usr/bin/env bash
# Draws drvsweep's icon (a driver chip with a red sweep mark) as sweep.ico: 16, 20,
# 24, 32, 40 and 48 px in 32-bit colour with alpha, and 256 px as PNG (Vista and
# later), each scaled down from one 256 px drawing. Needs ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# The 32-unit drawing of old, eight times over.
convert -size 256x256 xc:none \
  -fill '#2a4d8f' -stroke '#10203f' -strokewidth 8 -draw 'rectangle 56,56 192,192' \
  -stroke '#b0b0b0' -strokewidth 16 \
  -draw 'line 80,24 80,48' -draw 'line 120,24 120,48' -draw 'line 160,24 160,48' \
  -draw 'line 80,200 80,224' -draw 'line 120,200 120,224' -draw 'line 160,200 160,224' \
  -draw 'line 24,88 48,88' -draw 'line 24,160 48,160' -draw 'line 200,88 224,88' -draw 'line 200,160 224,160' \
  -stroke '#d8201c' -strokewidth 32 -draw 'line 40,216 216,40' \
  "$tmp/icon256.png"
# No time stamps in the PNG: the file changes only when the drawing does.
convert "$tmp/icon256.png" -depth 8 -define png:exclude-chunks=date,time -define icon:auto-resize=256,48,40,32,24,20,16 \
  sweep.ico
