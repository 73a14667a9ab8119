#!/usr/bin/env bash
# Installs the simulated capture card into the bench's Wine prefix: the kernel
# driver as the auto-start service "simcard" and the capture filter registered
# as "Conexant 2388x Video Capture". Run inside the bench (winebench --setup);
# the driver loads at once and again in every later Wine session.
set -euo pipefail
: "${WINEPREFIX:?run inside the Wine bench}"
# Run as its own bash process, so the bench helpers are loaded here.
# shellcheck source=benchlib.sh
source "$(dirname "${BASH_SOURCE[0]}")/benchlib.sh"

sys=$(qxbin simcard.sys)
dll=$(qxbin simfilter.dll)
for f in "$sys" "$dll"; do
  [ -f "$f" ] || { echo "sim-install: $f is missing (build the sim targets first)" >&2; exit 1; }
done

system32=$WINEPREFIX/drive_c/windows/system32
mkdir -p "$system32/drivers"
cp "$sys" "$system32/drivers/simcard.sys"
cp "$dll" "$system32/simfilter.dll"

# A second install in the same prefix keeps the existing service.
if ! qxwine sc query simcard >/dev/null 2>&1; then
  qxwine sc create simcard type= kernel start= auto \
    binPath= 'C:\windows\system32\drivers\simcard.sys' >/dev/null
fi
qxwine sc start simcard >/dev/null 2>&1 || true
qxwine regsvr32 /s 'C:\windows\system32\simfilter.dll'
