#!/usr/bin/env bash
# Installs what the tests need; builds the Windows viewer, its zip and unit tests in
# build-windows/, the web page in build-web/, the release viewer and its Debian package in build/,
# and everything for Linux under AddressSanitizer and UndefinedBehaviorSanitizer in build-test/;
# and runs every test: the Windows unit tests under Wine, then the Linux ones, with the window
# tests on the Linux viewer, on the Windows one under Wine and on the page in Chromium, Firefox and
# WebKitGTK, and with fingers in Chromium, and the checks of the zip and the package.
# Usage: tests/run.sh   (from anywhere; the builds go into the checkout)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/packages.sh tests
cmake --preset windows-test >/dev/null
cmake --build --preset windows-test -j "$(nproc)"
ctest --preset windows-test -j "$(nproc)"
cpack --preset windows >/dev/null
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
cpack --preset deb >/dev/null
cmake --preset web >/dev/null
cmake --build --preset web -j "$(nproc)"
cmake --preset test >/dev/null
cmake --build --preset test -j "$(nproc)"
ctest --preset test -j "$(nproc)"
