#!/usr/bin/env bash
# The release: the i686 programs (the build we ship), stripped, with the README
# and the guide to using them with a real card, in one zip. Prints the sizes.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=${QX_DIST_BIN:-$repo/build/i686/bin} # another i686 build for a developer's own look
out=$repo/build/dist
stage=$out/qx770-utilities
version=$(sed -n 's/^project(qx770 VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
zip=$out/qx770-utilities-$version.zip

rm -rf "$out"
mkdir -p "$stage"
for exe in tunerkey.exe drvsweep.exe; do
  [ -f "$bin/$exe" ] || { echo "dist: $bin/$exe is missing" >&2; exit 1; }
  # Only the 32-bit build ships: it runs on Windows 9x and on the NT family alike.
  file -b "$bin/$exe" | grep -q 'PE32 executable' || { echo "dist: $bin/$exe is not an i686 program" >&2; exit 1; }
  i686-w64-mingw32-strip -o "$stage/$exe" "$bin/$exe"
done
cp "$repo/README.md" "$stage/README.md"
cp "$repo/docs/real-card.md" "$stage/GUIDE.md"
# The README's pictures, where its links point.
for dir in docs/pictures docs/screenshots; do
  if [ -d "$repo/$dir" ]; then
    mkdir -p "$stage/$dir"
    cp "$repo/$dir"/*.png "$stage/$dir/"
  fi
done
(cd "$out" && zip -q -r "$zip" qx770-utilities)

echo "Release: ${zip#$repo/}"
limit=$((300 * 1024))
for exe in tunerkey.exe drvsweep.exe; do
  size=$(stat -c %s "$stage/$exe")
  verdict=ok
  [ "$size" -lt "$limit" ] || verdict="over the 300 KB goal"
  version=$(i686-w64-mingw32-strings -el "$stage/$exe" | grep -A1 -x FileVersion | tail -1)
  printf '  %-14s %7d bytes (%d KB)  version %s  %s\n' "$exe" "$size" $(((size + 1023) / 1024)) "${version:-none}" "$verdict"
done
printf '  %-14s %7d bytes\n' "$(basename "$zip")" "$(stat -c %s "$zip")"
