#!/usr/bin/env bash
# Prepares the Wine test harness of one build tree, in the folder given as $1:
#  - a private Wine prefix (created once; no Mono/Gecko install),
#  - a display: the caller's, or an Xvfb of our own when none is set,
#  - serial pseudo-terminal pairs, seen by Windows programs as COM ports:
#      COM1 <-> COM2, COM11 <-> COM12, and for several boxes at once COM13 <-> COM14,
#      COM15 <-> COM16, COM17 <-> COM18; the Linux ends are $1/pty/comN. Tests pull and put
#      back a pair with tests/harness/serial-pair.
#    COM9 has no device behind it (a port without hardware). The prefix gives the host's own
#    serial devices the lowest free numbers (COM3 up), which keeps them away from COM9.
#  - a persistent wineserver, started after the display so that windows get one.
# Writes $1/env, which tests/harness/wine-run sources.  Safe to run again.
set -euo pipefail

h=$(mkdir -p "$1" && cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$h/pty" "$h/run"

"$here/cleanup.sh" "$h" >/dev/null 2>&1 || true

export WINEPREFIX="$h/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WINELOADERNOEXEC

ports=(1 2 11 12 13 14 15 16 17 18)

# Machines whose kernel runs no 32-bit code (execve of an i386 program fails) have only
# Wine's 64-bit loader; the Windows tests then run the x86-64 build of the same sources
# (tools/windows-arch). A wrapper in $h/bin makes "wine" that loader.
mkdir -p "$h/bin"
rm -f "$h/bin/wine"
if [ "$("$here/../../tools/windows-arch")" = x86_64 ]; then
  cat >"$h/bin/wine" <<'WRAP'
#!/bin/sh
export WINELOADER=/usr/lib/wine/wine64
exec /usr/lib/wine/wine64 "$@"
WRAP
  chmod +x "$h/bin/wine"
fi
export PATH="$h/bin:$PATH"

# Serial pairs first: the prefix's port links point at these paths.
rm -f "$h"/run/pair-*
"$here/serial-pair" "$h" start 1 2
"$here/serial-pair" "$h" start 11 12
"$here/serial-pair" "$h" start 13 14
"$here/serial-pair" "$h" start 15 16
"$here/serial-pair" "$h" start 17 18

# Display.
display=""
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  display=$DISPLAY
else
  rm -f "$h/run/display.num"
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
    3>"$h/run/display.num" </dev/null >"$h/run/xvfb.log" 2>&1 &
  echo $! >"$h/run/xvfb.pid"
  for _ in $(seq 200); do
    [ -s "$h/run/display.num" ] && break
    sleep 0.05
  done
  [ -s "$h/run/display.num" ] || { echo "setup: Xvfb did not start" >&2; cat "$h/run/xvfb.log" >&2; exit 1; }
  display=":$(tr -d '\n' <"$h/run/display.num")"
fi
export DISPLAY=$display

# Prefix, created once for this build tree.
stamp="$WINEPREFIX/.stelvar-harness"
if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$h" ]; then
  rm -rf "$WINEPREFIX"
  wine wineboot -i >"$h/run/wineboot.log" 2>&1 || { cat "$h/run/wineboot.log" >&2; exit 1; }
  # Keep crash dialogs away from unattended runs.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w
  echo "$h" >"$stamp"
fi
# The prefix's COM ports point at the pairs' ends; a prefix made before a pair was added
# gets it here (only when the list changed).
ports_stamp="$WINEPREFIX/.stelvar-ports"
if [ ! -f "$ports_stamp" ] || [ "$(cat "$ports_stamp")" != "${ports[*]}" ]; then
  for n in "${ports[@]}"; do
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /d "$h/pty/com$n" /f >/dev/null 2>&1
  done
  wineserver -w
  echo "${ports[*]}" >"$ports_stamp"
fi
# Wine's own fonts (Marlett for the caption buttons' symbols, Tahoma for "MS Shell Dlg").
# Debian's fonts-wine puts them in /usr/share/wine/fonts, but this Wine looks only in
# the prefix's windows\Fonts and in fontconfig's folders; without them the caption
# buttons show the letters "0 1 r". Copied on every set-up, so older prefixes get them.
if [ -d /usr/share/wine/fonts ]; then
  cp -p -u /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
fi
# Windows are not left to a window manager: without one (Xvfb), hiding a managed window
# waits two seconds for a withdrawal that never comes.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1

# A wineserver that lives for the whole test run, with this display in its desktop.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
# Every process started here must let go of our stdout, or ctest waits for it.
wineserver -p </dev/null >/dev/null 2>&1
# Start the prefix's services and the desktop now, detached from any test's output.
wine reg query 'HKLM\Software\Wine\Ports' </dev/null >/dev/null 2>&1
# The prefix's device manager maps host serial devices to free COM numbers at start;
# COM9 must stay without one.
rm -f "$WINEPREFIX/dosdevices/com9"

cat >"$h/env" <<ENV
export WINEPREFIX='$WINEPREFIX'
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml='
export DISPLAY='$display'
export STELVAR_HARNESS='$h'
export PATH='$h/bin':"\$PATH"
ENV
echo "harness ready: prefix $WINEPREFIX, display $display, ports COM1-COM2 COM11-COM12 COM13-COM14 COM15-COM16 COM17-COM18"
