#!/usr/bin/env bash
# Installs what the tests need, builds the Windows viewer and unit tests in build-windows/ and
# everything for Linux under AddressSanitizer and UndefinedBehaviorSanitizer in build-test/, and
# runs every test: the Windows unit tests under Wine, then the Linux ones, with the window tests
# on both viewers, the Windows one under Wine.
# Usage: tests/run.sh   (from anywhere; the builds go into the checkout)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/packages.sh tests
cmake --preset windows-test >/dev/null
cmake --build --preset windows-test -j "$(nproc)"
ctest --preset windows-test -j "$(nproc)"
cmake --preset test >/dev/null
cmake --build --preset test -j "$(nproc)"
ctest --preset test -j "$(nproc)"
