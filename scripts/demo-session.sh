#!/usr/bin/env bash
# Runs inside the Wine bench for scripts/demo.sh (WINE, WINEPREFIX, DISPLAY,
# QX_BIN and the bench helpers are set).
#   demo-session.sh scripted|interactive OUTDIR
set -uo pipefail
mode=$1
out=$2
tests=$QX_BIN/../tests

shot() {
  # The whole virtual desktop, as a person sees it.
  import -display "$DISPLAY" -window root "$out/$1.png" 2>/dev/null ||
    echo "   (no screenshot: $1)"
}

if [ "$mode" = scripted ]; then
  # The transcript passes through; "SNAP name" lines are screenshot requests.
  qxwine "$tests/e2e_demo.exe" "$(winpath "$out")" | while IFS= read -r line; do
    line=${line%$'\r'}
    case "$line" in
      "SNAP "*)
        read -r _ name x y w h <<<"$line"
        shot "$name"
        # The window it is about, cut out for the README.
        if [ -n "${h:-}" ] && [ -f "$out/$name.png" ]; then
          convert "$out/$name.png" -crop "${w}x${h}+${x}+${y}" +repage "$out/$name.window.png" 2>/dev/null || true
        fi
        touch "$out/.$name.done"
        ;;
      *) printf '%s\n' "$line" ;;
    esac
  done
  rc=${PIPESTATUS[0]}
  rm -f "$out"/.*.done
  exit "$rc"
fi

# Interactive: tunerkey and a PowerVCR II stand-in run until the person is done.
limit=${DEMO_MINUTES:-30}
timeout -k 5 $((limit * 60)) "$WINE" "$QX_BIN/tunerkey.exe" >/dev/null 2>&1 &
timeout -k 5 $((limit * 60)) "$WINE" 'C:\Program Files\CyberLink\PowerVCR II\PVCR.EXE' >/dev/null 2>&1 &
cat >"$out/remote" <<REMOTE
#!/usr/bin/env bash
# The virtual remote of the running demonstration: remote press 5, remote press power, ...
# Once the demonstration has ended its prefix is gone: Wine would make a new one.
[ -d '$WINEPREFIX' ] || { echo "the demonstration is not running" >&2; exit 1; }
export WINEPREFIX='$WINEPREFIX' WINELOADER='$WINELOADER' WINESERVER='$WINESERVER' WINEDEBUG=-all DISPLAY='$DISPLAY'
exec '$WINE' '$QX_BIN/simremote.exe' "\$@"
REMOTE
cat >"$out/snap" <<SNAP
#!/usr/bin/env bash
# A screenshot of the running demonstration's desktop: snap NAME
import -display '$DISPLAY' -window root '$out/'"\${1:-snap}.png" && echo '$out/'"\${1:-snap}.png"
SNAP
cat >"$out/log" <<LOG
#!/usr/bin/env bash
# What the PowerVCR II stand-in received so far.
cat '$WINEPREFIX/drive_c/Program Files/CyberLink/PowerVCR II/standin.log'
LOG
chmod +x "$out/remote" "$out/snap" "$out/log"
r=${out#"$QX_REPO"/}
cat <<TEXT

tunerkey.exe and a PowerVCR II stand-in are running on a virtual desktop ($DISPLAY).
From another terminal in $QX_REPO:
  $r/remote press 5             digit 5 (codes 1-9 digits, 10 is 0, power, shutdown)
  $r/remote press 6 --reads 20  a held key
  $r/remote press power         the power key
  $r/snap NAME                  a screenshot of the desktop as $r/NAME.png
  $r/log                        what PowerVCR II received
See sim/README.md for every simremote command. Press Enter here to stop
(it stops by itself after $limit minutes; DEMO_MINUTES sets another limit).
TEXT
if [ -t 0 ]; then
  read -r -t $((limit * 60)) _ || true
elif (exec </dev/tty) 2>/dev/null; then
  read -r -t $((limit * 60)) _ </dev/tty || true
else
  echo "(no terminal to read Enter from: it stops after $limit minutes)"
  sleep $((limit * 60))
fi
echo "Stopping."
