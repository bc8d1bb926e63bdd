#!/usr/bin/env bash
# Makes sure the Debian packages for a job are installed. As root it installs what is missing
# with apt-get; as anyone else it names what is missing and fails.
# Usage: tools/packages.sh viewer|tests
set -euo pipefail

# The compiler and CMake, the GL and GLUT headers, and Mesa's software driver to draw with.
viewer=(g++ make cmake libgl-dev libglut-dev libgl1-mesa-dri)
# GoogleTest, the clang-format the layout was written with, and for the window tests an X
# server with XTest, and libpng for the screenshot.
tests=(libgtest-dev clang-format-14 libx11-dev libxtst-dev libpng-dev xvfb)

case "${1:-}" in
viewer) packages=("${viewer[@]}") needs="The viewer needs" ;;
tests) packages=("${viewer[@]}" "${tests[@]}") needs="The tests need" ;;
*)
  echo "usage: $0 viewer|tests" >&2
  exit 2
  ;;
esac

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
  echo "$needs these Debian packages: ${missing[*]}" >&2
  echo "Install them (as root: apt-get install ${missing[*]}) and run again." >&2
  exit 1
fi
echo "Installing ${missing[*]} ..."
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
