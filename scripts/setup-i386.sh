#!/usr/bin/env bash
# Makes the machine able to run the shipped 32-bit programs: Debian's 32-bit Wine
# beside the 64-bit one, and i386 Linux programs (Wine's 32-bit loader) routed
# through qemu's user-mode emulator by binfmt_misc. Each step runs only when missing.
# qemu must be 8 or later: Debian 12's own 7.2 spends about a minute on every
# 32-bit process, so qemu comes from the backports suite of the Debian source the
# machine already uses. Prints why and exits non-zero when the lane cannot be set up.
set -uo pipefail

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
say() { echo "setup-i386: $*" >&2; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

qemu_major() {
  local v
  v=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null) || return 1
  v=${v#*:}
  echo "${v%%.*}"
}

# The suite and source of this machine's Debian archive, as apt already knows it:
# prints "URI CODENAME" from the first deb822 or one-line entry for the main archive.
debian_source() {
  local codename uri
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || return 1
  uri=$(awk -v c="$codename" '
    /^URIs:/ { u = $2 } /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == c) s = 1 }
    /^$/ { if (s && u != "") { print u; exit } u = ""; s = 0 }
    END { if (s && u != "") print u }' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1)
  if [ -z "$uri" ] && [ -f /etc/apt/sources.list ]; then
    uri=$(awk -v c="$codename" '$1 == "deb" && $3 == c { print $2; exit }' /etc/apt/sources.list)
  fi
  [ -n "$uri" ] || return 1
  echo "$uri $codename"
}

changed=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386 || { say "cannot add the i386 architecture"; exit 1; }
  changed=1
fi

major=$(qemu_major || echo 0)
if [ "${major:-0}" -lt 8 ]; then
  read -r uri codename < <(debian_source) || { say "no Debian source configured for apt"; exit 1; }
  list=/etc/apt/sources.list.d/qx-backports.list
  if ! grep -qs "$codename-backports" /etc/apt/sources.list /etc/apt/sources.list.d/* 2>/dev/null; then
    echo "deb $uri $codename-backports main" | $sudo tee "$list" >/dev/null
  fi
  changed=1
fi

pkgs=()
installed wine32:i386 || pkgs+=(wine32:i386)
if [ $changed = 1 ] || [ ${#pkgs[@]} -gt 0 ]; then
  say "installing ${pkgs[*]} qemu-user (backports)"
  # A mirror part-way through its sync can fail one index (the security suite's,
  # say) while the lists the lane needs are fine: the installs below tell.
  $sudo apt-get update -qq || say "apt-get update failed for some lists; installing from the lists apt has"
fi
if [ "${major:-0}" -lt 8 ]; then
  $sudo apt-get install -y -qq --no-install-recommends -t "$codename-backports" qemu-user >/dev/null ||
    { say "cannot install qemu-user from $codename-backports"; exit 1; }
fi
if [ ${#pkgs[@]} -gt 0 ]; then
  $sudo apt-get install -y -qq --no-install-recommends "${pkgs[@]}" >/dev/null ||
    { say "cannot install ${pkgs[*]}"; exit 1; }
fi

major=$(qemu_major || echo 0)
[ "${major:-0}" -ge 8 ] || { say "qemu-user $major is too old (8 or later needed)"; exit 1; }

# i386 ELF programs to qemu-i386. F opens the emulator now, so it is found from any
# mount namespace; O and C give it the program's own file and credentials.
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -f "$binfmt/register" ]; then
  $sudo mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || { say "cannot mount binfmt_misc (root needed)"; exit 1; }
fi
if [ ! -f "$binfmt/qemu-i386" ]; then
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf ':qemu-i386:M::%s:%s:%s:POCF' "$magic" "$mask" "$(command -v qemu-i386)" |
    $sudo tee "$binfmt/register" >/dev/null || { say "cannot register qemu-i386 with binfmt_misc"; exit 1; }
fi
exit 0
