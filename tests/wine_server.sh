#!/usr/bin/env bash
# Starts the Wine server of a Wine prefix for a whole test lane, or stops it after the lane.
# Debian's wineserver stops the moment its last program ends, and takes two seconds over it: a
# Windows program that starts meanwhile waits for it, fails to make its window, or is cut off
# ("recvmsg: Connection reset by peer"). A lane's programs come and go all the time, so the lane
# keeps one server up from before its first test to after its last, and no test starts or ends one.
# With XVFB, the lane's windows show on X servers of their own that come and go with each test,
# while Wine's desktop program lives as long as its server: it gets an X server of its own too, with
# the same screen, which starts and stops with the server.
# Usage: tests/wine_server.sh start|stop WINEPREFIX WINE WINESERVER [XVFB]
set -euo pipefail
usage() {
  echo "usage: $0 start|stop WINEPREFIX WINE WINESERVER [XVFB]" >&2
  exit 2
}
[ $# -eq 4 ] || [ $# -eq 5 ] || usage
export WINEPREFIX=$2 WINEDEBUG=-all
wine=$3 wineserver=$4 xvfb=${5:-}
desktop=$WINEPREFIX.desktop-x # the desktop's X server's pid

# Ends whatever server the prefix has, waiting until it has gone, and then the desktop's X server.
end() {
  "$wineserver" -k >/dev/null 2>&1 || true
  if [ -f "$desktop" ]; then
    kill "$(cat "$desktop")" 2>/dev/null || true
    rm -f "$desktop"
  fi
}

case $1 in
start)
  # Whatever the build, the listing of the tests or an earlier lane left may still be stopping.
  end
  mkdir -p "$WINEPREFIX"
  if [ -n "$xvfb" ]; then
    # -displayfd takes the first free display and writes its number once it takes connections.
    setsid "$xvfb" -displayfd 3 -nolisten tcp -screen 0 1280x1280x24 -noreset 3>"$desktop.number" \
      </dev/null >/dev/null 2>&1 &
    echo $! >"$desktop"
    for _ in $(seq 200); do
      grep -q '^[0-9]*$' "$desktop.number" 2>/dev/null && [ "$(wc -l <"$desktop.number")" -eq 1 ] && break
      sleep 0.1
    done
    number=$(cat "$desktop.number")
    rm -f "$desktop.number"
    [ -n "$number" ] || { echo "cannot start $xvfb" >&2; end; exit 1; }
    export DISPLAY=":$number"
  fi
  # A server that stays until stopped; it goes into the background once it takes connections.
  "$wineserver" -p </dev/null >/dev/null 2>&1
  # The prefix made in full, and Wine's own services and desktop up, before any test: wineboot
  # comes back once the server has answered it.
  "$wine" wineboot </dev/null >/dev/null 2>&1
  ;;
stop) end ;;
*) usage ;;
esac
