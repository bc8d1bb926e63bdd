#!/usr/bin/env bash
# Installs what the tests need, builds the Windows viewer in build-windows/ and everything else
# under AddressSanitizer and UndefinedBehaviorSanitizer in build-test/, and runs every test: the
# window tests run on both viewers, the Windows one under Wine.
# Usage: tests/run.sh   (from anywhere; the builds go into the checkout)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/packages.sh tests
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)"
cmake --preset test >/dev/null
cmake --build --preset test -j "$(nproc)"
ctest --preset test -j "$(nproc)"
