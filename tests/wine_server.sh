#!/usr/bin/env bash
# Starts the Wine server of a Wine prefix for a whole test lane, or stops it after the lane.
# Debian's wineserver stops the moment its last program ends, and takes two seconds over it: a
# Windows program that starts meanwhile waits for it, fails to make its window, or is cut off
# ("recvmsg: Connection reset by peer"). A lane's programs come and go all the time, so the lane
# keeps one server up from before its first test to after its last, and no test starts or ends one.
# With XVFB, Wine's desktop program, which lives as long as its server, gets an X server that starts
# and stops with it, and the lane's windows show there too, one test at a time (Wine mixes up the
# windows of programs that share its server while they show on different X servers): its display
# number is left in WINEPREFIX.display for them. "dpi" sets the desktop's DPI (Windows' LogPixels)
# for the programs started after it: Wine 8 reads it as each program starts, Wine 10 only as its
# server does, so the server starts again, on the same X server; the DPI set is left in
# WINEPREFIX.dpi, until the server stops.
# Usage: tests/wine_server.sh start|stop WINEPREFIX WINE WINESERVER [XVFB]
#        tests/wine_server.sh dpi WINEPREFIX WINE WINESERVER DPI
set -euo pipefail
usage() {
  echo "usage: $0 start|stop WINEPREFIX WINE WINESERVER [XVFB], or dpi WINEPREFIX WINE WINESERVER DPI" >&2
  exit 2
}
[ $# -eq 4 ] || [ $# -eq 5 ] || usage
export WINEPREFIX=$2 WINEDEBUG=-all
wine=$3 wineserver=$4 xvfb=${5:-} dpi=${5:-}
desktop=$WINEPREFIX.desktop-x # the desktop's X server's pid
number=$WINEPREFIX.display    # and its display number
set_dpi=$WINEPREFIX.dpi       # the DPI set since the lane's server started

# Ends whatever server the prefix has, waiting until it has gone, and then the desktop's X server.
end() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -f "$set_dpi" "$WINEPREFIX.step"
  if [ -f "$desktop" ]; then
    kill "$(cat "$desktop")" 2>/dev/null || true
    rm -f "$desktop" "$number"
  fi
}

# Runs a step quietly; should it fail, says which, with what it printed, and stops.
step() {
  "$@" </dev/null >"$WINEPREFIX.step" 2>&1 || {
    echo "wine_server.sh: $* failed (status $?): $(cat "$WINEPREFIX.step")" >&2
    exit 1
  }
}

# A server that stays until stopped (it goes into the background once it takes connections), and the
# prefix made in full, and Wine's own services and desktop up, before any test: wineboot comes back
# once the server has answered it.
serve() {
  step "$wineserver" -p
  step "$wine" wineboot
}

case $1 in
start)
  # Whatever the build, the listing of the tests or an earlier lane left may still be stopping.
  end
  mkdir -p "$WINEPREFIX"
  if [ -n "$xvfb" ]; then
    # -displayfd takes the first free display and writes its number, then a newline, once it
    # takes connections: read from a pipe, the wait ends as it does.
    exec 3< <(setsid "$xvfb" -displayfd 4 -nolisten tcp -screen 0 1280x1280x24 -noreset 4>&1 </dev/null \
      >/dev/null 2>&1 & echo $! >"$desktop")
    read -r -t 20 display <&3 || true
    exec 3<&-
    [ -n "${display:-}" ] || { echo "cannot start $xvfb" >&2; end; exit 1; }
    echo "$display" >"$number"
    export DISPLAY=":$display"
  fi
  serve
  # Windows sets no DISPLAY, but Wine hands its programs the Unix one, which freeglut takes for the
  # name of a Windows display, fails to open and warns of. The prefix gives them the name of
  # Windows' own first display instead; Wine itself still shows them on the Unix one.
  step "$wine" reg add 'HKCU\Environment' /v DISPLAY /t REG_SZ /d '\\.\DISPLAY1' /f
  ;;
dpi)
  [ -n "$dpi" ] && [ -f "$number" ] || usage
  export DISPLAY=":$(cat "$number")"
  step "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
  "$wineserver" -k >/dev/null 2>&1 || true
  serve
  echo "$dpi" >"$set_dpi"
  ;;
stop) end ;;
*) usage ;;
esac
