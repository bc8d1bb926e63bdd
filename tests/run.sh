#!/usr/bin/env bash
# Builds everything under AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
# Usage: tests/run.sh   (from anywhere; the build goes to build-test/ in the checkout)
set -euo pipefail
cd "$(dirname "$0")/.."

# Debian packages the build and the tests need: compilers and libraries, clang-format for the
# layout check, and for the window tests an X server with XTest, Mesa's software renderer and
# libpng for the screenshot.
packages=(cmake g++ make freeglut3-dev libgl1-mesa-dev libgl1-mesa-dri libgtest-dev libx11-dev libxtst-dev
  libpng-dev clang-format xvfb)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    echo "Installing ${missing[*]} ..."
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "The tests need these Debian packages: ${missing[*]}" >&2
    echo "Install them (as root: apt-get install ${missing[*]}) and run again." >&2
    exit 1
  fi
fi

cmake -S . -B build-test -DMIROVALE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-test -j "$(nproc)"
ctest --test-dir build-test --output-on-failure -j "$(nproc)"
