# Shared by the bench and by the scripts that run inside it (sourced, not run).

# The loader of the prefix's kind, called explicitly: QX_ARCH=win64 (the default)
# or win32, a 32-bit-only prefix. The plain `wine` wrapper would choose by itself.
# The 64-bit wineserver serves both kinds.
qx_pick_loader() {
  if [ "${QX_ARCH:-win64}" = win32 ]; then
    export WINE=/usr/lib/wine/wine WINEARCH=win32
  elif [ -x /usr/lib/wine/wine64 ]; then
    export WINE=/usr/lib/wine/wine64
    unset WINEARCH
  else
    export WINE=wine
  fi
  export WINELOADER=$WINE
  if [ -x /usr/lib/wine/wineserver64 ]; then
    export WINESERVER=/usr/lib/wine/wineserver64
  elif [ -x /usr/lib/wine/wineserver ]; then
    export WINESERVER=/usr/lib/wine/wineserver
  else
    export WINESERVER=wineserver
  fi
}
qx_pick_loader
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts. No winemenubuilder: wineboot starts it with every
# session, and it writes the desktop's menus and file types into $HOME, which all
# parallel benches share; its own desktop process then ends under the program
# under test, which has to start another one.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
export QX_WINE_TIMEOUT=${QX_WINE_TIMEOUT:-120}

# Every Wine call has a time limit: an unanswered modal dialog blocks for ever.
qxwine() {
  timeout -k 5 "$QX_WINE_TIMEOUT" "$WINE" "$@"
}

# The Windows form (drive Z:) of a Unix path.
winpath() {
  local p
  p=$(readlink -f "$1" 2>/dev/null || echo "$1")
  printf 'Z:%s' "${p//\//\\}"
}

# A program of the build, by name: $QX_BIN/NAME (build/x86_64/bin by default).
qxbin() {
  printf '%s/%s' "${QX_BIN:-${QX_REPO:?}/build/x86_64/bin}" "$1"
}

# A program of the prefix's own kind, whatever the build under test: the simulated
# card's driver, the stand-in applications, the remote (build/x86_64 in a 64-bit
# prefix, build/i686 in a 32-bit one).
qxpeer() {
  local arch=x86_64
  [ "${QX_ARCH:-win64}" = win32 ] && arch=i686
  printf '%s/build/%s/bin/%s' "${QX_REPO:?}" "$arch" "$1"
}

# True for a 32-bit Windows program or DLL.
pe32() {
  file -b "$1" | grep -q '^PE32 '
}

# Names an auto-start service that the bench's --restart must see running before the
# program under test starts.
qxservice() {
  grep -qsx "$1" "${WINEPREFIX:?}/.qx-services" || echo "$1" >>"$WINEPREFIX/.qx-services"
}
