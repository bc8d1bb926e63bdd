#!/usr/bin/env bash
# Makes sure the Debian packages for a job are installed. It installs what is missing with
# apt-get, as root or else through sudo (which asks for the password as it does); where there is
# no sudo either, it names what is missing and fails.
# Usage: tools/packages.sh viewer|windows|web|deb|tests
set -euo pipefail

# The releases differ only in which clang-format they package.
release=$(. /etc/os-release 2>/dev/null && echo "${ID:-}-${VERSION_ID:-}")
supported=yes
case "$release" in
debian-12) clang_format=clang-format-14 ;;
debian-13) clang_format=clang-format-19 ;;
*) clang_format=clang-format-19 supported=no ;;
esac

# The compiler and CMake, dpkg-buildflags for Debian's hardening flags (and, for the Debian package,
# dpkg-shlibdeps and dpkg-parsechangelog), the GL, GLUT and X headers (X's for the desktop's scale),
# and Mesa's software driver to draw with.
viewer=(g++ make cmake dpkg-dev libgl-dev libglut-dev libx11-dev libgl1-mesa-dri)
# The Windows build: the MinGW-w64 cross-compiler, Wine to run the terrain generator and the viewer,
# and netpbm and icoutils to make the program's icon.
windows=(g++-mingw-w64-x86-64-posix wine wine64 netpbm icoutils)
# The web build: Emscripten, and the certificates its Node.js looks for at every start, or warns.
web=(cmake make emscripten ca-certificates)
# The Debian package: file, with which cpack finds the programs to ask dpkg-shlibdeps about.
deb=(file)
# GoogleTest (and its source, for the Windows build of the unit tests), the release's clang-format
# for the layout check, and for the window tests an X server with XTest and DAMAGE, libpng for the
# screenshot, a JSON library for Chromium's DevTools, the three browsers the web page is opened in
# (WebKitGTK's comes with its library), npm to fetch axe-core, which checks the page as assistive
# technology reads it, and lintian and desktop-file-validate for the Debian package.
tests=(libgtest-dev googletest "$clang_format" libx11-dev libxtst-dev libxdamage-dev libpng-dev nlohmann-json3-dev xvfb
  chromium firefox-esr libwebkit2gtk-4.1-0 npm lintian desktop-file-utils)

case "${1:-}" in
viewer) packages=("${viewer[@]}") needs="The viewer needs" ;;
windows) packages=("${viewer[@]}" "${windows[@]}") needs="The Windows build needs" ;;
web) packages=("${web[@]}") needs="The web build needs" ;;
deb) packages=("${viewer[@]}" "${deb[@]}") needs="The Debian package needs" ;;
tests) packages=("${viewer[@]}" "${windows[@]}" "${web[@]}" "${deb[@]}" "${tests[@]}") needs="The tests need" ;;
*)
  echo "usage: $0 viewer|windows|web|deb|tests" >&2
  exit 2
  ;;
esac

missing=()
for package in "${packages[@]}"; do
  # A Node.js from outside Debian brings an npm of its own, which Debian's npm package conflicts with.
  [ "$package" = npm ] && command -v npm >/dev/null && continue
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$supported" = no ]; then
  echo "$needs these packages, as Debian 13 names them: ${missing[*]}" >&2
  echo "This system ($release) is not Debian 12 or 13: install them, or what it calls them, by hand." >&2
  exit 1
fi
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
if ! command -v apt-get >/dev/null || { [ ${#as_root[@]} -gt 0 ] && ! command -v sudo >/dev/null; }; then
  echo "$needs these Debian packages: ${missing[*]}" >&2
  echo "Install them (as root: apt-get install ${missing[*]}) and run again." >&2
  exit 1
fi
echo "Installing ${missing[*]}${as_root:+ with sudo} ..."
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
