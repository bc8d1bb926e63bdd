#!/usr/bin/env bash
# Builds everything under AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
# Usage: tests/run.sh   (from anywhere; the build goes to build-test/ in the checkout)
set -euo pipefail
cd "$(dirname "$0")/.."

# Debian packages the build and the tests need, by a file each one provides.
packages=(
  cmake:/usr/bin/cmake
  g++:/usr/bin/g++
  make:/usr/bin/make
  freeglut3-dev:/usr/include/GL/glut.h
  libgl1-mesa-dev:/usr/include/GL/gl.h
  libgtest-dev:/usr/include/gtest/gtest.h
  clang-format:/usr/bin/clang-format
)
missing=()
for entry in "${packages[@]}"; do
  [ -e "${entry#*:}" ] || missing+=("${entry%%:*}")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    echo "Installing ${missing[*]} ..."
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  else
    echo "The tests need these Debian packages: ${missing[*]}" >&2
    echo "Install them (as root: apt-get install ${missing[*]}) and run again." >&2
    exit 1
  fi
fi

cmake -S . -B build-test -DMIROVALE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-test -j "$(nproc)"
ctest --test-dir build-test --output-on-failure -j "$(nproc)"
