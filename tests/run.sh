#!/usr/bin/env bash
# Installs what the tests of the lanes asked for need, builds what they test and runs them:
#
# | lane     | builds                                   | runs                                            |
# |----------|------------------------------------------|-------------------------------------------------|
# | linux    | nothing more                             | the unit tests, the layout, install and         |
# |          |                                          | configure checks and the Linux window lane      |
# | windows  | the Windows viewer, zip and unit tests   | those unit tests under Wine, the Wine window    |
# |          | in build-windows/                        | lane and the zip check                          |
# | chromium | the page in build-web/                   | the page's window lanes in Chromium (mouse and  |
# |          |                                          | fingers)                                        |
# | firefox  | the page in build-web/                   | the page's window lane in Firefox               |
# | webkit   | the page in build-web/                   | the page's window lane in WebKitGTK             |
# | debian   | nothing more: its first test builds the  | the package built by sbuild, checked by lintian |
# |          | Debian packages                          | and tested by autopkgtest in bare systems, its  |
# |          |                                          | contents and hardening                          |
# | release  | the Windows viewer and the page          | a release made with a throwaway key, its Debian |
# |          |                                          | packages and all, taken as users take it        |
#
# The tests themselves, and the Linux viewer every lane's pictures are checked against, are built in
# build-test/ under AddressSanitizer and UndefinedBehaviorSanitizer. With no lane named, every lane
# this machine can run runs. A lane this machine cannot run (tools/packages.sh says why) is left out;
# on Debian 12 and 13 apt has everything, so a lane left out for want of a package is an error there.
# The end of the output names each lane left out: "not run here" or "not asked for".
# Usage: tests/run.sh [LANE...]   (from anywhere; the builds go into the checkout)
set -euo pipefail
cd "$(dirname "$0")/.."
left=$(tools/packages.sh tests "$@")
release=$(. /etc/os-release 2>/dev/null && echo "${ID:-}-${VERSION_ID:-}")
if grep -q "because this system's apt has no" <<<"$left" && { [ "$release" = debian-12 ] || [ "$release" = debian-13 ]; }; then
  echo "Debian 12 and 13 run every lane, but these would not run here:" >&2
  grep "because this system's apt has no" <<<"$left" | cut -d' ' -f2- >&2
  exit 1
fi
trap '[ -z "$left" ] || cut -d" " -f2- <<<"$left"' EXIT
# Whether a lane runs: asked for (or every one, where none is named), and not left out. A browser,
# or a release, runs only where the page's build does.
runs() {
  ! grep -q "^$1:" <<<"$left" || return 1
  case $1 in chromium | firefox | webkit | release) runs web ;; esac
}
lanes=()
for lane in linux windows chromium firefox webkit debian release; do
  if runs $lane; then lanes+=($lane); fi
done
if [ ${#lanes[@]} -eq 0 ]; then
  echo "None of the lanes asked for can run here." >&2
  exit 1
fi
# Configures and builds the tree of a preset.
build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$(nproc)"
}
if runs windows; then
  build windows-test
  ctest --preset windows-test -j "$(nproc)"
  cpack --preset windows >/dev/null
fi
if runs release; then
  build windows
fi
if [[ " ${lanes[*]} " =~ " "(chromium|firefox|webkit|release)" " ]]; then
  build web
fi
cmake --preset test -DMIROVALE_LANES="$(printf '%s;' "${lanes[@]}")" >/dev/null
cmake --build --preset test -j "$(nproc)"
# ctest shows a passing test's output only in its log. What the window tests noted there (a slow
# first start, a browser stopped, an end that Wine cut short) is shown after ctest's summary too.
status=0
ctest --preset test -j "$(nproc)" || status=$?
log=build-test/Testing/Temporary/LastTest.log
if [ -f $log ]; then
  awk '/^[0-9]+\/[0-9]+ Test: /{test = $3} /^\[   NOTE   \] /{print "[   NOTE   ] " test ": " substr($0, 14)}' $log
fi
exit $status
