# Shared by the bench and by the scripts that run inside it (sourced, not run).

# The 64-bit loader, called explicitly: the plain `wine` wrapper picks the 32-bit
# loader when wine32 happens to be installed, and these machines cannot run it.
if [ -x /usr/lib/wine/wine64 ]; then
  export WINE=${WINE:-/usr/lib/wine/wine64}
  export WINELOADER=$WINE
  export WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
  [ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
else
  export WINE=${WINE:-wine}
  export WINESERVER=${WINESERVER:-wineserver}
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
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
