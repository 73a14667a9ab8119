#!/usr/bin/env bash
# The release: both builds of the programs, stripped — win32/ (the i686 build, for
# Windows 98/ME and 32-bit Windows of the NT family) and x64/ (the x86_64 build, for
# 64-bit Windows) — with the README and the guide to using them with a real card,
# in one zip, and the setup program (NSIS, scripts/qx770-setup.nsi) that installs the
# build that fits the Windows it runs on. The i686 programs' imports are checked
# against the allow-list of what Windows 98 SE and NT 4.0 offer first. Prints the sizes.
# QX_DIST_OUT names another output folder (the setup's test builds its own there).
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin32=${QX_DIST_BIN:-$repo/build/i686/bin} # another i686 build for a developer's own look
bin64=${QX_DIST_BIN64:-$repo/build/x86_64/bin}
out=${QX_DIST_OUT:-$repo/build/dist}
stage=$out/qx770-utilities
version=$(sed -n 's/^project(qx770 VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
zip=$out/qx770-utilities-$version.zip
setup=$out/qx770-utilities-setup-$version.exe
programs=(tunerkey.exe drvsweep.exe)

rm -rf "$out"
mkdir -p "$stage/win32" "$stage/x64"
# folder, build, `file` verdict it must give, MinGW prefix
for build in "win32 $bin32 PE32 i686-w64-mingw32" "x64 $bin64 PE32+ x86_64-w64-mingw32"; do
  read -r folder bin kind prefix <<<"$build"
  for exe in "${programs[@]}"; do
    [ -f "$bin/$exe" ] || { echo "dist: $bin/$exe is missing" >&2; exit 1; }
    file -b "$bin/$exe" | grep -q "^$kind executable" || { echo "dist: $bin/$exe is not a $kind program" >&2; exit 1; }
    "$prefix-strip" -o "$stage/$folder/$exe" "$bin/$exe"
  done
done
# The shipped key maps beside each build's tunerkey, with CRLF line ends for Notepad.
for folder in win32 x64; do
  sed 's/\r*$/\r/' "$repo/tunerkey/resources/keymap.ini" >"$stage/$folder/keymap.ini"
done
# Windows 98 SE and NT 4.0 must be able to load the 32-bit programs.
bash "$repo/scripts/check-imports.sh" "${programs[@]/#/$stage/win32/}" || { echo "dist: see the imports above" >&2; exit 1; }
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

# The setup installs the guide for Notepad, which wants CRLF line ends before Windows 10.
sed 's/\r*$/\r/' "$repo/docs/real-card.md" >"$out/GUIDE.md"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DGUIDE="$out/GUIDE.md" -DOUTFILE="$setup" \
  "$repo/scripts/qx770-setup.nsi" || { echo "dist: makensis failed" >&2; exit 1; }
rm -f "$out/GUIDE.md"

echo "Release: ${zip#$repo/}, ${setup#$repo/}"
limit=$((300 * 1024))
for folder in win32 x64; do
  prefix=i686-w64-mingw32
  [ "$folder" = x64 ] && prefix=x86_64-w64-mingw32
  for exe in "${programs[@]}"; do
    size=$(stat -c %s "$stage/$folder/$exe")
    verdict=ok
    [ "$size" -lt "$limit" ] || verdict="over the 300 KB goal"
    version=$("$prefix-strings" -el "$stage/$folder/$exe" | grep -A1 -x FileVersion | tail -1)
    printf '  %-20s %7d bytes (%d KB)  version %s  %s\n' "$folder/$exe" "$size" $(((size + 1023) / 1024)) \
      "${version:-none}" "$verdict"
  done
done
for file in "$zip" "$setup"; do
  size=$(stat -c %s "$file")
  printf '  %-34s %7d bytes (%d KB)\n' "$(basename "$file")" "$size" $(((size + 1023) / 1024))
done
