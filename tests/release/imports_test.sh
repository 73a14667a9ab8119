#!/usr/bin/env bash
# The import check on the shipped i686 programs, and on the same list with one
# import planted that Windows 9x lacks: the first must pass, the second must fail
# and name the import. Writes its report in GoogleTest's XML form to
# $QX_RESULTS_DIR/release_imports_test.xml, which the test runner counts.
#   imports_test.sh CHECK-IMPORTS.SH I686-BIN-DIR
set -uo pipefail
check=$1 bin=$2
failures=0 cases=""

verdict() { # name, failure message or ""
  if [ -n "$2" ]; then
    echo "[  FAILED  ] Imports.$1: $2"
    failures=$((failures + 1))
    cases+="<testcase name=\"$1\"><failure message=\"$2\"/></testcase>"
  else
    echo "[       OK ] Imports.$1"
    cases+="<testcase name=\"$1\"/>"
  fi
}

msg=""
bash "$check" "$bin/tunerkey.exe" "$bin/drvsweep.exe" || msg="an import of the i686 programs is not on the allow-list"
verdict ShippedProgramsImportOnlyWhatTheOldestSystemsOffer "$msg"

msg=""
list=$(mktemp)
{ bash "$check" --print "$bin/drvsweep.exe"; echo "KERNEL32.dll SwitchToThread"; } >"$list"
out=$(bash "$check" --list "$list" drvsweep.exe 2>&1)
rc=$?
rm -f "$list"
if [ "$rc" -eq 0 ]; then
  msg="a planted SwitchToThread import passed the check"
elif ! grep -q 'SwitchToThread from kernel32.dll' <<<"$out" || [ "$(grep -c . <<<"$out")" -ne 1 ]; then
  msg="the check did not name exactly the planted import: $out"
fi
verdict APlantedImportFailsTheCheck "$msg"

if [ -n "${QX_RESULTS_DIR:-}" ]; then
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<testsuites tests="2" failures="%d" errors="0" name="release_imports_test">\n<testsuite name="Imports" tests="2" failures="%d">%s</testsuite>\n</testsuites>\n' \
    "$failures" "$failures" "$cases" >"$QX_RESULTS_DIR/release_imports_test.xml"
fi
[ "$failures" -eq 0 ]
