#!/usr/bin/env bash
# Installs what the tests need, builds the Windows viewer and unit tests in build-windows/, the
# web page in build-web/ and everything for Linux under AddressSanitizer and
# UndefinedBehaviorSanitizer in build-test/, and runs every test: the Windows unit tests under
# Wine, then the Linux ones, with the window tests on the Linux viewer, on the Windows one under
# Wine and on the page in Chromium, Firefox and WebKitGTK.
# Usage: tests/run.sh   (from anywhere; the builds go into the checkout)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/packages.sh tests
cmake --preset windows-test >/dev/null
cmake --build --preset windows-test -j "$(nproc)"
ctest --preset windows-test -j "$(nproc)"
cmake --preset web >/dev/null
cmake --build --preset web -j "$(nproc)"
cmake --preset test >/dev/null
cmake --build --preset test -j "$(nproc)"
ctest --preset test -j "$(nproc)"
