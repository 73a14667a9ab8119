#!/usr/bin/env bash
# Installs the simulated capture card into the bench's Wine prefix: the kernel
# driver as the auto-start service "simcard" and the capture filter registered
# as "Conexant 2388x Video Capture". Run inside the bench (winebench --setup);
# the driver loads at once and again in every later Wine session.
set -euo pipefail
trap 'echo "sim-install: \"$BASH_COMMAND\" failed with exit code $? (line $LINENO)" >&2' ERR
: "${WINEPREFIX:?run inside the Wine bench}"
# Run as its own bash process, so the bench helpers are loaded here.
# shellcheck source=benchlib.sh
source "$(dirname "${BASH_SOURCE[0]}")/benchlib.sh"

# The driver is the system's own kind (a 32-bit program on 64-bit Windows talks to
# the 64-bit driver); the filter is loaded into the programs under test, so theirs
# is registered, and the system's own beside it when that is of the other kind.
sys=$(qxpeer simcard.sys)
dlls=("$(qxpeer simfilter.dll)")
[ "$(qxbin simfilter.dll)" -ef "${dlls[0]}" ] || dlls+=("$(qxbin simfilter.dll)")
for f in "$sys" "${dlls[@]}"; do
  [ -f "$f" ] || { echo "sim-install: $f is missing (build the sim targets first)" >&2; exit 1; }
done

windows=$WINEPREFIX/drive_c/windows
mkdir -p "$windows/system32/drivers"
cp "$sys" "$windows/system32/drivers/simcard.sys"

# A second install in the same prefix keeps the existing service.
if ! qxwine sc query simcard >/dev/null 2>&1; then
  qxwine sc create simcard type= kernel start= auto \
    binPath= 'C:\windows\system32\drivers\simcard.sys' >/dev/null
fi
qxwine sc start simcard >/dev/null 2>&1 || true
qxservice simcard

# A 32-bit DLL in a 64-bit prefix goes to syswow64, registered by the 32-bit regsvr32.
for dll in "${dlls[@]}"; do
  folder=system32
  [ "${QX_ARCH:-win64}" = win64 ] && pe32 "$dll" && folder=syswow64
  cp "$dll" "$windows/$folder/simfilter.dll"
  qxwine "C:\\windows\\$folder\\regsvr32.exe" /s "C:\\windows\\$folder\\simfilter.dll"
done
