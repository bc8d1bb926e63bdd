#!/usr/bin/env bash
# Makes sure the packages for a job are installed, under the names this system's apt has: Debian's
# own, which its releases and the systems built from them share. It installs what is missing with
# apt-get, as root or else through sudo (which asks for the password as it does); where there is no
# sudo either, it names what is missing and fails.
# For the tests it takes the lanes to run (all of them where none is named). Each lane named is
# either installed for or said on standard output to be left out, a line each:
#   LANE: not run here: WHAT, because WHY   this machine, or its apt, cannot run it
#   LANE: not asked for: WHAT               no lane named asked for it
# tests/run.sh leaves those lanes out and says so at the end.
# Cross-building for arm64 takes the arm64 libraries, which apt has once arm64 is one of dpkg's
# architectures: it adds it, and says so, where a job or lane needs them.
# The sandboxed builds and tests of the Debian package (sbuild, autopkgtest) run unprivileged, in
# subordinate user and group ids of the user running them: where that user has none, it gives them
# 65,536 of each, and says so.
# Usage: tools/packages.sh viewer|windows|web|deb|release   or   tools/packages.sh tests [LANE...]
set -euo pipefail
cd "$(dirname "$0")/.."

# What a build needs is the Build-Depends of debian/control, which apt-get build-dep reads too: each
# package named there, a name a line, with those marked for a build profile (<!nocheck>, say) kept
# only as the profiles given ask. debhelper-compat is debhelper's.
build_depends() { # [PROFILE...]
  awk -v profiles=" $* " '
    /^[^ \t]/ { on = /^Build-Depends:/ }
    on { sub(/^Build-Depends:/, ""); text = text " " $0 }
    END {
      n = split(text, entries, ",")
      for (i = 1; i <= n; i++) {
        entry = entries[i]
        if (match(entry, /<[^>]*>/)) {
          wanted = substr(entry, RSTART + 1, RLENGTH - 2)
          negated = sub(/^!/, "", wanted)
          if ((index(profiles, " " wanted " ") > 0) == negated) continue
        }
        sub(/^[ \t]+/, "", entry)
        split(entry, words, /[ \t(<\[]/)
        if (words[1] == "debhelper-compat") words[1] = "debhelper"
        if (words[1] != "") print words[1]
      }
    }' debian/control
}

# The compiler and make, what debian/control says a build needs, but for debhelper and the tests,
# and Mesa's software driver to draw with.
viewer=(g++ make $(build_depends nocheck | grep -vx debhelper) libgl1-mesa-dri)
# The Windows build: the MinGW-w64 cross-compiler, and netpbm and icoutils to make the program's icon.
windows=(g++-mingw-w64-x86-64-posix netpbm icoutils)
# Wine, which runs the Windows program and its unit tests.
wine=(wine wine64)
# The web build: Emscripten, the certificates its Node.js looks for at every start, or warns, g++ for
# the terrain generator, which runs on this machine, and netpbm to make the page's icons.
web=(cmake make g++ emscripten ca-certificates netpbm)
# The Debian package: Debian's tools for building one, and all that debian/control says it needs.
deb=(build-essential $(build_depends))
# The arm64 Debian package, cross-built: the cross-compiler and the arm64 libraries the viewer links,
# the -dev packages of debian/control (its tools run on this machine, and are this machine's).
arm64=(crossbuild-essential-arm64 $(build_depends cross nocheck | sed -n 's/^\(lib.*-dev\)$/\1:arm64/p'))
# A release, beyond every build's own: git for its source, zip for its zips, apt-ftparchive
# (apt-utils) for its repository, appstream-generator for the repository's AppStream data, and gpg
# with its agent, which holds the key, to sign it.
release=(git zip apt-utils appstream-generator gpg gpg-agent)
# Every test: GoogleTest, and for the window tests an X server with XTest and DAMAGE, libpng for
# the screenshot and a JSON library for Chromium's DevTools.
tests=(libgtest-dev libx11-dev libxtst-dev libxdamage-dev libpng-dev nlohmann-json3-dev xvfb)
# The tests' lanes, each with what it takes beyond that and what it holds:
# - linux: the release's clang-format for the layout check (a name ending in -N is the release's
#   own version of it);
# - windows: the Windows build's and Wine, with GoogleTest's source to cross-build the unit tests;
# - web: the page's build, which every browser lane takes, and npm, which fetches axe-core, which
#   checks the page as assistive technology reads it;
# - chromium, firefox, webkit: each its browser (WebKitGTK's comes with its library);
# - release: a release's, besides the page's build; Python for the loopback server apt reads it from,
#   gpgv to check its signature as users do (apt 3 checks its own with sqv instead), faketime
#   to make a second release with the clock on, and appstream with apt-config-icons, whose apt
#   configuration fetches the AppStream data as a desktop's does, and whose appstreamcli reads it;
# - debian: the package's build, native and for arm64; mmdebstrap for the bare systems, sbuild and
#   autopkgtest to build and test in them, uidmap for their subordinate ids and iproute2, whose ip
#   brings up their loopback (sbuild 0.89, Debian 13's, needs it); lintian, blhc,
#   devscripts' hardening-check, licensecheck, desktop-file-validate and appstreamcli (appstream)
#   to check what comes out;
#   git to list the source package's files.
lanes=(linux windows web chromium firefox webkit debian release)
debian=(mmdebstrap sbuild autopkgtest uidmap iproute2 lintian blhc devscripts licensecheck desktop-file-utils appstream git)
declare -A lane_packages=([linux]="clang-format-N" [debian]="${deb[*]} ${arm64[*]} ${debian[*]}"
  [windows]="${windows[*]} ${wine[*]} googletest" [web]="${web[*]} npm" [chromium]=chromium [firefox]=firefox-esr
  [webkit]=libwebkit2gtk-4.1-0 [release]="${deb[*]} ${windows[*]} ${arm64[*]} ${release[*]} python3 gpgv faketime appstream apt-config-icons")
declare -A lane_holds=([linux]="the unit tests, the layout, install and configure checks and the Linux lane"
  [debian]="the Debian package, built and tested as Debian does"
  [windows]="the Windows unit tests, the Wine lane and the zip check" [web]="the page in every browser"
  [chromium]="the page in Chromium, with the mouse and with fingers" [firefox]="the page in Firefox"
  [webkit]="the page in WebKitGTK" [release]="the release, made with a throwaway key and taken as users take it")

case "${1:-}" in
viewer) packages=("${viewer[@]}") needs="The viewer needs" ;;
windows) packages=("${viewer[@]}" "${windows[@]}") needs="The Windows build needs" ;;
web) packages=("${web[@]}") needs="The web build needs" ;;
deb) packages=("${viewer[@]}" "${deb[@]}") needs="The Debian package needs" ;;
release)
  packages=("${viewer[@]}" "${deb[@]}" "${windows[@]}" "${web[@]}" "${arm64[@]}" "${release[@]}")
  needs="A release needs"
  ;;
tests) packages=("${viewer[@]}" "${tests[@]}") needs="The tests need" ;;
*)
  echo "usage: $0 viewer|windows|web|deb|release   or   $0 tests [LANE...]" >&2
  exit 2
  ;;
esac
job=$1
shift
asked=("$@")
if [ "$job" != tests ]; then
  lanes=()
elif [ ${#asked[@]} -eq 0 ]; then
  asked=(linux windows chromium firefox webkit debian release)
fi
# Each lane asked for, or that one asked for takes (every browser takes the page's build), is run if
# it can be; the others are named as not asked for. Windows programs here are x86-64 ones, which
# only an amd64 system's Wine runs: an arm64 Wine runs Windows' own arm64 programs alone. A release
# is made on amd64, which cross-builds its arm64 package.
declare -A wanted cannot
architecture=$(dpkg --print-architecture 2>/dev/null || uname -m)
if [ "$architecture" != amd64 ]; then
  # Elsewhere the Debian package is built for this machine alone, with no cross-compiler.
  lane_packages[debian]="${deb[*]} ${debian[*]}"
  cannot[windows]="this system's Wine cannot run x86-64 Windows programs ($architecture)"
  cannot[release]="a release is made on amd64 ($architecture)"
fi
# sbuild and autopkgtest make bare systems in user namespaces, which a chroot, and some containers,
# refuse.
unshare --user --map-root-user true 2>/dev/null ||
  cannot[debian]="this system refuses user namespaces (a chroot, or a container that forbids them)"
for lane in "${asked[@]}"; do
  [ -n "$lane" ] && [ -n "${lane_holds[$lane]:-}" ] && [ "$lane" != web ] || {
    echo "$0: there is no lane called '$lane'; the lanes are: linux windows chromium firefox webkit debian release" >&2
    exit 2
  }
  wanted[$lane]=yes
  if [[ $lane =~ ^(chromium|firefox|webkit|release)$ ]] && [ -z "${cannot[$lane]:-}" ]; then wanted[web]=yes; fi
done
run=()
for lane in "${lanes[@]}"; do
  if [ -z "${wanted[$lane]:-}" ]; then
    [ "$lane" = web ] || echo "$lane: not asked for: ${lane_holds[$lane]}"
  elif [ -n "${cannot[$lane]:-}" ]; then
    echo "$lane: not run here: ${lane_holds[$lane]}, because ${cannot[$lane]}"
  else
    run+=("$lane")
  fi
done
lanes=("${run[@]}")
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

# sbuild and autopkgtest run their bare systems in the subordinate ids of the user running them.
user=$(id -un)
if [[ " ${lanes[*]} " == *" debian "* ]] && ! { grep -q "^$user:" /etc/subuid && grep -q "^$user:" /etc/subgid; } 2>/dev/null; then
  first=$(cat /etc/subuid /etc/subgid 2>/dev/null | awk -F: 'BEGIN { n = 100000 } $2 + $3 > n { n = $2 + $3 } END { print n }')
  echo "Giving $user the subordinate ids $first-$((first + 65535))${as_root:+ with sudo}: sbuild and autopkgtest run their bare systems in them." >&2
  "${as_root[@]}" usermod --add-subuids "$first-$((first + 65535))" --add-subgids "$first-$((first + 65535))" "$user"
fi

# The name this system gives a package: a name ending in -N is the version the release's own
# unversioned package depends on, or else the newest there is.
named() {
  local base=${1%-N} found=""
  if [ "$base" != "$1" ]; then
    found=$(apt-cache depends "$base" 2>/dev/null | sed -n "s/^ *Depends: \($base-[0-9][0-9.]*\)\$/\1/p" | head -n 1)
    [ -n "$found" ] || found=$(apt-cache pkgnames "$base-" 2>/dev/null | grep -E "^$base-[0-9]+\$" | sort -V | tail -n 1)
  fi
  echo "${found:-$base}"
}
present() {
  # A Node.js from outside Debian brings an npm of its own, which Debian's npm package conflicts with.
  [ "$1" = npm ] && command -v npm >/dev/null && return 0
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}
# Whether apt has a package to install, asked once for each: lanes share many.
declare -A candidates
candidate() {
  if [ -z "${candidates[$1]:-}" ]; then
    candidates[$1]=no
    [ -z "$(apt-cache policy "$1" 2>/dev/null | sed -n 's/^ *Candidate: //p' | grep -vx '(none)')" ] || candidates[$1]=yes
  fi
  [ "${candidates[$1]}" = yes ]
}
# Whether a package is installed, asked of dpkg once for each.
declare -A installed
installed() {
  if [ -z "${installed[$1]:-}" ]; then
    installed[$1]=no
    present "$1" && installed[$1]=yes
  fi
  [ "${installed[$1]}" = yes ]
}
# Sets missing (and missing_in[LANE]) to what is not installed, under this system's names.
declare -A missing_in
find_missing() {
  missing=()
  for package in "${packages[@]}"; do
    [[ $package != *-N ]] || package=$(named "$package")
    installed "$package" || missing+=("$package")
  done
  for lane in "${lanes[@]}"; do
    missing_in[$lane]=""
    for package in ${lane_packages[$lane]}; do
      [[ $package != *-N ]] || package=$(named "$package")
      installed "$package" || missing_in[$lane]+=" $package"
    done
  done
}

find_missing
all_missing="${missing[*]} ${missing_in[*]}"
[ -z "${all_missing// /}" ] && exit 0
if command -v apt-get >/dev/null && { [ ${#as_root[@]} -eq 0 ] || command -v sudo >/dev/null; }; then
  # The arm64 libraries are apt's to give once arm64 is one of dpkg's architectures.
  if [[ " $all_missing " == *":arm64 "* ]] && [ "$architecture" != arm64 ] &&
    ! dpkg --print-foreign-architectures | grep -qx arm64; then
    echo "Adding arm64 to dpkg's architectures${as_root:+ with sudo}: cross-building for arm64 takes its libraries." >&2
    "${as_root[@]}" dpkg --add-architecture arm64
  fi
  # With the lists brought up to date, apt knows what this system can have, and its names.
  "${as_root[@]}" apt-get update -qq
  find_missing
  can_install=yes
else
  can_install=no
fi
install=()
for package in "${missing[@]}"; do
  candidate "$package" || [ $can_install = no ] || {
    echo "$needs $package, which this system's apt does not have: install it, or what this system calls it, by hand." >&2
    exit 1
  }
  install+=("$package")
done
for lane in "${lanes[@]}"; do
  lacking=()
  for package in ${missing_in[$lane]}; do
    candidate "$package" || lacking+=("$package")
  done
  if [ ${#lacking[@]} -gt 0 ]; then
    echo "$lane: not run here: ${lane_holds[$lane]}, because this system's apt has no ${lacking[*]}"
  else
    install+=(${missing_in[$lane]})
  fi
done
# Each package once, in the order first named.
mapfile -t install < <(printf '%s\n' "${install[@]}" | awk 'NF && !seen[$0]++')
[ ${#install[@]} -eq 0 ] && exit 0
if [ $can_install = no ]; then
  echo "$needs these Debian packages: ${install[*]}" >&2
  [[ " ${install[*]} " != *":arm64 "* ]] ||
    echo "The arm64 ones come once arm64 is one of dpkg's architectures (dpkg --add-architecture arm64)." >&2
  echo "Install them (as root: apt-get install ${install[*]}) and run again." >&2
  exit 1
fi
echo "Installing ${install[*]}${as_root:+ with sudo} ..." >&2
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${install[@]}" >/dev/null
