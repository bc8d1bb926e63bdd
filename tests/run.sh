#!/usr/bin/env bash
# Installs what the tests need; builds the Windows viewer, its zip and unit tests in
# build-windows/, the web page in build-web/, the release viewer and its Debian package in build/,
# and everything for Linux under AddressSanitizer and UndefinedBehaviorSanitizer in build-test/;
# and runs every test: the Windows unit tests under Wine, then the Linux ones, with the window
# tests on the Linux viewer, on the Windows one under Wine and on the page in Chromium, Firefox and
# WebKitGTK, and with fingers in Chromium, and the checks of the zip and the package. A lane whose
# packages this system's apt has not got is left out, and named at the end; Debian 12 and 13 have
# them all, so there none may be.
# Usage: tests/run.sh   (from anywhere; the builds go into the checkout)
set -euo pipefail
cd "$(dirname "$0")/.."
not_run=$(tools/packages.sh tests)
release=$(. /etc/os-release 2>/dev/null && echo "${ID:-}-${VERSION_ID:-}")
if [ -n "$not_run" ] && { [ "$release" = debian-12 ] || [ "$release" = debian-13 ]; }; then
  echo "Debian 12 and 13 run every lane, but these would not run here:" >&2
  echo "$not_run" >&2
  exit 1
fi
trap '[ -z "$not_run" ] || sed "s/^[^:]*: /not run here: /" <<<"$not_run"' EXIT
left_out() { grep -q "^$1:" <<<"$not_run"; }
if ! left_out windows; then
  cmake --preset windows-test >/dev/null
  cmake --build --preset windows-test -j "$(nproc)"
  ctest --preset windows-test -j "$(nproc)"
  cpack --preset windows >/dev/null
fi
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
cpack --preset deb >/dev/null
if ! left_out web; then
  cmake --preset web >/dev/null
  cmake --build --preset web -j "$(nproc)"
fi
cmake --preset test -DMIROVALE_LANES_NOT_RUN="$(cut -d: -f1 <<<"$not_run" | paste -sd';')" >/dev/null
cmake --build --preset test -j "$(nproc)"
ctest --preset test -j "$(nproc)"
