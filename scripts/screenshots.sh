#!/usr/bin/env bash
# Pictures of tunerkey's tray menu and its three dialogs, taken on the Wine
# bench's virtual desktop with the simulated card and two stand-in applications
# installed (so that the menu and the Setting list have entries).
#
#   scripts/screenshots.sh [OUTDIR]     (default build/screenshots)
#
# Needs the x86_64 build with tests (build/x86_64; QX_BUILD names another).
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QX_BUILD:-$repo/build/x86_64}
out=${1:-$repo/build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
shots=$build/tests/shell_screens.exe
[ -f "$shots" ] || { echo "screenshots: $shots is missing (build with QX_TESTS=ON)" >&2; exit 1; }

raw=$(mktemp -d)
trap 'rm -rf "$raw"' EXIT
"$repo/scripts/winebench" run --display xvfb --size 1024x768 --bin "$build/bin" \
  --setup "bash \$QX_REPO/scripts/sim-install.sh" \
  --setup "bash \$QX_REPO/scripts/standin-install.sh hometheater" \
  --setup "bash \$QX_REPO/scripts/standin-install.sh tivra" \
  --restart -- "$shots" "Z:${raw//\//\\}"

for bmp in "$raw"/*.bmp; do
  name=$(basename "$bmp" .bmp)
  convert "$bmp" "$out/$name.png"
  echo "screenshots: $out/$name.png"
done
