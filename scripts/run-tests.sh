#!/usr/bin/env bash
# Runs every test program under Wine through CTest and ends with the line
# "N passed, N failed", counting GoogleTest cases (a program that died without
# its report counts as one failure, whatever its exit code). Non-zero exit when a test fails or none ran.
#   run-tests.sh [--bench] [ctest options...]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
build=$repo/build/x86_64

# Benchmarks run one at a time and print their figures. Every test program runs
# once: a failure counts, there is no second try.
label=(-LE bench --output-on-failure -j "${QX_TEST_JOBS:-2}")
bench=0
if [ "${1:-}" = --bench ]; then
  label=(-L bench -V -j 1)
  bench=1
  shift
fi

# Why the 32-bit lane (the shipped i686 programs, label lane32) cannot run here, or nothing.
lane32_missing() {
  local v
  [ -x /usr/lib/wine/wine ] || { echo "32-bit Wine (wine32:i386) is not installed"; return; }
  grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386 ||
    { echo "i386 programs are not routed to qemu-i386 by binfmt_misc (needs root)"; return; }
  v=$(qemu-i386 --version 2>/dev/null | sed -n 's/.*version \([0-9]*\).*/\1/p')
  [ "${v:-0}" -ge 8 ] || { echo "qemu-user ${v:-none} is older than 8"; return; }
  [ -f "$repo/build/i686/tests/drvsweep_nt_run_test.exe" ] || echo "the i686 build has no lane test programs"
}
lane_failed=0
if [ $bench = 0 ]; then
  why=$(lane32_missing)
  if [ -n "$why" ]; then
    echo "32-bit lane: cannot run: $why (scripts/setup-i386.sh sets it up); counted as a failure"
    label[1]='bench|lane32'
    lane_failed=1
  fi
fi

results=$build/test-results
rm -rf "$results"
mkdir -p "$results"
export QX_RESULTS_DIR=$results

# Build the template prefix once, before tests start in parallel.
"$here/winebench" template >/dev/null || { echo "0 passed, 1 failed"; exit 1; }
if [ $bench = 0 ] && [ $lane_failed = 0 ]; then
  "$here/winebench" template --arch win32 >/dev/null || { echo "0 passed, 1 failed"; exit 1; }
fi

log=$build/ctest.log
(cd "$build" && ctest "${label[@]}" "$@") 2>&1 | tee "$log"
ctest_rc=${PIPESTATUS[0]}

passed=0 failed=0
# Programs CTest ran, with their verdicts: "Test #N: name ....   Passed" lines.
while read -r name verdict; do
  xml=$results/$name.xml
  if [ -f "$xml" ]; then
    head=$(grep -o -m1 '<testsuites [^>]*>' "$xml")
    attr() { sed -n "s/.* $1=\"\([0-9]*\)\".*/\1/p" <<<"$head"; }
    tests=$(attr tests) fails=$(attr failures) errs=$(attr errors)
    skipped=$(grep -c '<skipped' "$xml" || true)
    bad=$((${fails:-0} + ${errs:-0}))
    passed=$((passed + ${tests:-0} - bad - skipped))
    failed=$((failed + bad))
    # A program that failed outside its test cases (crash after the report, time-out).
    if [ "$verdict" != Passed ] && [ "$bad" -eq 0 ]; then failed=$((failed + 1)); fi
  else
    # Every test is a GoogleTest program: no report means it never finished.
    failed=$((failed + 1))
  fi
done < <(sed -n 's/^ *\([0-9]*\/[0-9]* \)\{0,1\}Test *#[0-9]*: \([^ ]*\) \.*\** *\([A-Za-z]*\).*/\2 \3/p' "$log" |
         awk '{ last[$1] = $2 } END { for (n in last) print n, last[n] }')

failed=$((failed + lane_failed))
[ $lane_failed = 0 ] || echo "32-bit lane: cannot run: $why"
echo "$passed passed, $failed failed"
if [ "$failed" -gt 0 ] || [ "$ctest_rc" -ne 0 ] || [ "$passed" -eq 0 ]; then
  exit 1
fi
exit 0
