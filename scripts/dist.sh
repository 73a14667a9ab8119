#!/usr/bin/env bash
# The release: the i686 programs (the build we ship), stripped, with the README
# and the guide to using them with a real card, in one zip. Prints the sizes.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=$repo/build/i686/bin
out=$repo/build/dist
stage=$out/qx770-utilities
version=$(sed -n 's/^project(qx770 VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
zip=$out/qx770-utilities-$version.zip

rm -rf "$out"
mkdir -p "$stage"
for exe in tunerkey.exe drvsweep.exe; do
  [ -f "$bin/$exe" ] || { echo "dist: $bin/$exe is missing" >&2; exit 1; }
  i686-w64-mingw32-strip -o "$stage/$exe" "$bin/$exe"
done
cp "$repo/README.md" "$stage/README.md"
cp "$repo/docs/real-card.md" "$stage/GUIDE.md"
(cd "$out" && zip -q -r "$zip" qx770-utilities)

echo "Release: ${zip#$repo/}"
limit=$((300 * 1024))
for exe in tunerkey.exe drvsweep.exe; do
  size=$(stat -c %s "$stage/$exe")
  verdict=ok
  [ "$size" -lt "$limit" ] || verdict="over the 300 KB goal"
  printf '  %-14s %7d bytes (%d KB)  %s\n' "$exe" "$size" $(((size + 1023) / 1024)) "$verdict"
done
printf '  %-14s %7d bytes\n' "$(basename "$zip")" "$(stat -c %s "$zip")"
