#!/usr/bin/env bash
# Installs what the tests need, builds everything under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test.
# Usage: tests/run.sh   (from anywhere; the build goes to build-test/ in the checkout)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/packages.sh tests
cmake --preset test >/dev/null
cmake --build --preset test -j "$(nproc)"
ctest --preset test -j "$(nproc)"
