#!/usr/bin/env bash
# Holds every import of the shipped i686 programs against the allow-list of what
# Windows 98 SE and NT 4.0 offer (scripts/i686-imports.txt). Prints each import
# outside it and fails.
#   check-imports.sh PROGRAM.exe...      the programs' own imports
#   check-imports.sh --print PROGRAM.exe their imports, one "dll function" a line
#   check-imports.sh --list FILE NAME    a list of such lines instead of a program
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
allow=${QX_IMPORT_ALLOWLIST:-$here/i686-imports.txt}
export LC_ALL=C

imports_of() {
  i686-w64-mingw32-objdump -p "$1" | awk '
    /DLL Name:/ { dll = tolower($3) }
    /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print dll, ($3 == "<none>" ? "#" $2 : $3) }'
}

allowed() {
  sed 's/#.*//' "$allow" | awk 'NF == 2 { print tolower($1), $2 }' | sort -u
}

# Reads "dll function" lines; names every one the allow-list lacks.
check() {
  local name=$1 bad
  bad=$(awk 'NF == 2 { print tolower($1), $2 }' | sort -u | comm -23 - <(allowed))
  [ -z "$bad" ] && return 0
  while read -r dll fn; do
    echo "imports: $name imports $fn from $dll, which Windows 98 SE or NT 4.0 may lack (not in $(basename "$allow"))" >&2
  done <<<"$bad"
  return 1
}

case "${1:-}" in
  --print) imports_of "$2"; exit 0 ;;
  --list) check "$3" <"$2"; exit ;;
  "") echo "usage: check-imports.sh PROGRAM.exe... | --print PROGRAM.exe | --list FILE NAME" >&2; exit 2 ;;
esac
rc=0
for exe in "$@"; do
  [ -f "$exe" ] || { echo "imports: $exe is missing" >&2; rc=1; continue; }
  n=$(imports_of "$exe" | wc -l)
  [ "$n" -gt 0 ] || { echo "imports: no import table read from $exe" >&2; rc=1; continue; }
  imports_of "$exe" | check "$(basename "$exe")" || rc=1
done
exit $rc
