#!/usr/bin/env bash
# Installs the stand-in application in the bench's Wine prefix as one of the
# supported applications: a copy of standin.exe under the application's own
# executable name, a standin.ini beside it naming the role (WinExec passes no
# arguments) and the log, and the application's registry entry pointing at the
# folder, exactly where tunerkey reads it.
#
#   standin-install.sh ROLE [DIR] [KEY=VALUE ...]
#
# ROLE: powervcr, honestech, tivra, hometheater, windvd, winrip.
# DIR: the install folder as Windows sees it (default: under "C:\Program Files").
# KEY=VALUE: further standin.ini settings (video=1, stay=1, title=..., class=...).
# The log is DIR\standin.log. Runs inside the bench ($WINE, $WINEPREFIX, $QX_BIN).
set -euo pipefail
trap 'echo "standin-install: \"$BASH_COMMAND\" failed with exit code $? (line $LINENO)" >&2' ERR
[ -n "${WINEPREFIX:-}" ] || { echo "standin-install: run inside the Wine bench" >&2; exit 2; }
if ! declare -F qxwine >/dev/null; then
  # shellcheck source=benchlib.sh
  source "$(dirname "${BASH_SOURCE[0]}")/benchlib.sh"
fi

role=${1:?usage: standin-install.sh ROLE [DIR] [KEY=VALUE ...]}
shift
case "$role" in
  powervcr)    key='Software\Cyberlink\PowerVCR II';    value=InstallPath; exe=PVCR.EXE
               dir='C:\Program Files\CyberLink\PowerVCR II' ;;
  honestech)   key='Software\honestech\DVD Plus\TVR';    value=AppPath;     exe=honestechTV.EXE
               dir='C:\Program Files\honestech\DVD Plus\TVR' ;;
  windvd)      key='Software\InterVideo\WinDVD4';        value=PATH;        exe=WINDVD.EXE
               dir='C:\Program Files\InterVideo\WinDVD4' ;;
  hometheater) key='Software\InterVideo\Home Theater';   value=PATH;        exe='Home Theater.exe'
               dir='C:\Program Files\InterVideo\Home Theater' ;;
  winrip)      key='Software\InterVideo\WinRip';         value=PATH;        exe=WINRIP.EXE
               dir='C:\Program Files\InterVideo\WinRip' ;;
  tivra)       key='Software\Honestech\TV Plus\TVR';     value=AppPath;     exe=honestechTV.EXE
               dir='C:\Program Files\Honestech\TV Plus\TVR' ;;
  *) echo "standin-install: unknown role $role" >&2; exit 2 ;;
esac
if [ $# -gt 0 ] && [[ "$1" != *=* ]]; then
  dir=$1
  shift
fi

# C:\... -> the prefix's drive_c; Z:\... -> the Unix root.
unixdir() {
  local d=${1//\\//}
  case "$d" in
    [Cc]:/*) printf '%s/drive_c/%s' "$WINEPREFIX" "${d:3}" ;;
    [Zz]:/*) printf '/%s' "${d:3}" ;;
    *) echo "standin-install: $1 is not on C: or Z:" >&2; exit 2 ;;
  esac
}

target=$(unixdir "$dir")
mkdir -p "$target"
cp "$(qxpeer standin.exe)" "$target/$exe"
{
  printf '[standin]\r\nrole=%s\r\nlog=%s\\standin.log\r\n' "$role" "$dir"
  for kv in "$@"; do printf '%s\r\n' "$kv"; done
} >"$target/standin.ini"
# The applications are 32-bit programs: on a 64-bit system their installers write
# the 32-bit registry view, and that is where both builds of tunerkey look.
view=()
[ "${QX_ARCH:-win64}" = win64 ] && view=(/reg:32)
qxwine reg add "HKLM\\$key" /v "$value" /t REG_SZ /d "$dir" /f "${view[@]}" >/dev/null
