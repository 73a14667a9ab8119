#!/usr/bin/env bash
# Pictures of tunerkey's tray menu and its three dialogs, taken on the Wine
# bench's virtual desktop with the simulated card and two stand-in applications
# installed (so that the menu and the Setting list have entries).
#
#   scripts/screenshots.sh [OUTDIR]     (default build/screenshots)
#
# Needs the x86_64 build with tests (build/x86_64; QX_BUILD names another).
# The picture program inside Wine opens each view and names its rectangle in a
# NAME.rect file; the X screen is then read from here, outside Wine.
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
cat >"$raw/take.sh" <<'TAKE'
raw=$1 shots=$2 out=$3
qxwine "$shots" "$(winpath "$raw")" &
pid=$!
while kill -0 "$pid" 2>/dev/null; do
  for rect in "$raw"/*.rect; do
    [ -e "$rect" ] || continue
    name=$(basename "$rect" .rect)
    read -r x y w h <"$rect"
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/$name.png"
    echo "screenshots: $out/$name.png"
    rm -f "$rect"
    touch "$raw/$name.done"
  done
  sleep 0.1
done
wait "$pid"
TAKE
"$repo/scripts/winebench" run --display xvfb --size 1024x768 --bin "$build/bin" \
  --setup "bash \$QX_REPO/scripts/sim-install.sh" \
  --setup "bash \$QX_REPO/scripts/standin-install.sh hometheater" \
  --setup "bash \$QX_REPO/scripts/standin-install.sh tivra" \
  --restart -- "$raw/take.sh" "$raw" "$shots" "$out"
