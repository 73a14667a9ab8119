#!/usr/bin/env bash
# The demonstration, run by `make demo` after the build: a fresh Wine prefix with
# the simulated card, the stand-in applications installed under their registry
# install paths, tunerkey started, and a scripted remote-control session that
# prints what it does and saves screenshots under build/demo/. Everything it
# starts ends with it (the bench's teardown).
#
#   scripts/demo.sh                 the scripted session (make demo)
#   scripts/demo.sh --interactive   the same set-up, then keys pressed by a person
#                                   with simremote (make demo DEMO=interactive)
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mode=scripted
if [ "${1:-}" = --interactive ] || [ "${DEMO:-}" = interactive ]; then
  mode=interactive
fi

build=${QX_DEMO_BUILD:-$repo/build/x86_64} # another build folder for a developer's own run
for f in "$build/bin/tunerkey.exe" "$build/bin/simremote.exe" "$build/bin/standin.exe" "$build/tests/e2e_demo.exe"; do
  [ -f "$f" ] || { echo "demo: $f is missing; run make demo (it builds first)" >&2; exit 1; }
done
out=$repo/build/demo
rm -rf "$out"
mkdir -p "$out"

setups=(--setup "bash $repo/scripts/sim-install.sh")
for role in powervcr hometheater honestech tivra windvd winrip; do
  setups+=(--setup "bash $repo/scripts/standin-install.sh $role lifetime=0")
done

echo "Setting up a fresh Wine prefix: simulated card, six stand-in applications ..."
start=$(date +%s)
set +e
"$repo/scripts/winebench" run --display xvfb --timeout 170 --bin "$build/bin" "${setups[@]}" --restart \
  -- "$repo/scripts/demo-session.sh" "$mode" "$out"
rc=$?
set -e
echo
if [ "$mode" = scripted ]; then
  shots=$(find "$out" -name '*.png' | sort)
  echo "Screenshots in ${out#$repo/}/:"
  for s in $shots; do echo "  $(basename "$s")"; done
fi
echo "Demo took $(($(date +%s) - start)) s; everything it started has stopped."
exit $rc
