#!/usr/bin/env bash
# The demonstration. For now: both architectures are built; say where they are.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
echo "Built programs:"
for arch in i686 x86_64; do
  for f in "$repo"/build/$arch/bin/*.exe "$repo"/build/$arch/bin/*.dll "$repo"/build/$arch/bin/*.sys; do
    [ -e "$f" ] || continue
    printf '  %-40s %s\n' "${f#$repo/}" "$(file -b "$f" | cut -d, -f1)"
  done
done
echo "The i686 programs are the ones to ship; the x86_64 ones run under wine64 here."
