#!/usr/bin/env bash
# Runs tools/packages.sh against stand-ins for dpkg, dpkg-query, apt-cache, id, sudo and apt-get
# that log what they are asked: as root it installs with apt-get, as a user through sudo, and as a
# user without sudo it names the missing packages and installs nothing; it installs the release's
# own clang-format, or the newest where the release has none of its own; a lane whose packages apt
# has not got, or that this machine cannot run, is named and left out, as is one not asked for,
# while a package every test needs stops it; arm64 is added to dpkg's architectures where its
# libraries are needed, and only there. Only make counts as installed; apt has every package but
# those in $NONE, its clang-format stands for clang-format-21 unless $NO_CLANG_FORMAT is set, and
# the machine is $ARCH (amd64 where unset). For the debian lane, a user without subordinate ids is
# given them (usermod); where user namespaces are refused ($NO_USERNS), the lane is left out.
# Then runs tests/run.sh on the same stand-ins, and on cmake, ctest and cpack ones, for each lane:
# it builds, tests and packs the trees of the lanes asked for, and nothing else.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
script=$top/tools/packages.sh
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
for tool in bash env grep cat sed sort tail head awk cut dirname nproc paste; do ln -s "$(command -v $tool)" "$bin/$tool"; done
cat >"$bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
[ "${*: -1}" = make ] && echo "install ok installed"
exit 0
STUB
cat >"$bin/apt-cache" <<'STUB'
#!/usr/bin/env bash
case "$1" in
policy) [[ " $NONE " == *" $2 "* ]] && echo "  Candidate: (none)" || echo "  Candidate: 1.0" ;;
depends) [ "$2" = clang-format ] && [ -z "$NO_CLANG_FORMAT" ] && printf 'clang-format\n  Depends: clang-format-21\n' ;;
pkgnames) printf '%s\n' clang-format-19 clang-format-22 clang-format-21 clang-format-9 ;;
esac
STUB
cat >"$bin/dpkg" <<'STUB'
#!/usr/bin/env bash
case "$1" in
--print-architecture) echo "${ARCH:-amd64}" ;;
--add-architecture) echo "dpkg $*" >>"$LOG" ;;
esac
exit 0
STUB
for tool in cmake ctest cpack; do
  printf '#!/usr/bin/env bash\necho "%s $*" >>"$LOG"\n' $tool >"$bin/$tool"
  chmod +x "$bin/$tool"
done
cat >"$bin/id" <<'STUB'
#!/usr/bin/env bash
echo "$FAKE_UID"
STUB
cat >"$bin/sudo" <<'STUB'
#!/usr/bin/env bash
echo "sudo $*" >>"$LOG"
exec "$@"
STUB
cat >"$bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "apt-get $*" >>"$LOG"
STUB
cat >"$bin/usermod" <<'STUB'
#!/usr/bin/env bash
echo "usermod $*" >>"$LOG"
STUB
cat >"$bin/unshare" <<'STUB'
#!/usr/bin/env bash
[ -z "$NO_USERNS" ]
STUB
chmod +x "$bin"/dpkg "$bin"/dpkg-query "$bin"/apt-cache "$bin"/id "$bin"/sudo "$bin"/apt-get "$bin"/usermod "$bin"/unshare

fail() { echo "FAILED: $*" >&2; exit 1; }
# run UID WITH_SUDO [JOB [LANE...]]: runs the script for the job's packages (the viewer's); leaves
# its log in $LOG, what it said on standard output in $bin/out and on standard error in $bin/err.
run() {
  export LOG="$bin/log" FAKE_UID=$1
  : >"$LOG"
  [ "$2" = yes ] || mv "$bin/sudo" "$bin/no-sudo"
  status=0
  PATH="$bin" NONE="${NONE:-}" ARCH="${ARCH:-}" NO_CLANG_FORMAT="${NO_CLANG_FORMAT:-}" NO_USERNS="${NO_USERNS:-}" \
    "$bin/bash" "$script" "${@:3}" \
    >"$bin/out" 2>"$bin/err" || status=$?
  [ -e "$bin/sudo" ] || mv "$bin/no-sudo" "$bin/sudo"
}
said() { cat "$bin/out" "$bin/err"; }
# What debian/control's Build-Depends names for a build, but debhelper and the tests'.
wanted="g++ cmake libgl-dev libglut-dev libx11-dev libgl1-mesa-dri"

run 1000 yes viewer
[ $status -eq 0 ] || fail "as a user with sudo it failed: $(said)"
grep -qx "sudo apt-get update -qq" "$LOG" || fail "as a user it did not update through sudo: $(cat "$LOG")"
grep -qx "sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $wanted" "$LOG" ||
  fail "as a user it did not install the missing packages through sudo: $(cat "$LOG")"

run 0 yes viewer
[ $status -eq 0 ] || fail "as root it failed: $(said)"
grep -q sudo "$LOG" && fail "as root it used sudo: $(cat "$LOG")"
grep -qx "apt-get install -y -qq --no-install-recommends $wanted" "$LOG" || fail "as root it did not install the missing packages: $(cat "$LOG")"

run 1000 no viewer
[ $status -eq 1 ] || fail "as a user without sudo it did not stop with status 1"
grep -q "apt-get install $wanted" "$bin/err" || fail "as a user without sudo it did not name what is missing: $(said)"
[ -s "$LOG" ] && fail "as a user without sudo it still ran: $(cat "$LOG")"

# The tests, where apt has everything: every lane's packages, and the release's own clang-format.
run 0 yes tests
[ $status -eq 0 ] && [ ! -s "$bin/out" ] || fail "with everything there, the tests' packages were refused: $(said)"
for package in clang-format-21 wine chromium firefox-esr libwebkit2gtk-4.1-0 emscripten npm libglut-dev:arm64 zip \
  debhelper libgtest-dev sbuild autopkgtest lintian; do
  grep -q "install .* $package\( \|$\)" "$LOG" || fail "it did not install $package for the tests: $(cat "$LOG")"
done
grep -qx "dpkg --add-architecture arm64" "$LOG" && grep -q "Adding arm64 to dpkg's architectures" "$bin/err" ||
  fail "it did not add arm64 to dpkg's architectures, saying so, for the release's arm64 libraries: $(said)"
grep -q "clang-format-22\|clang-format " "$LOG" && fail "it took another clang-format than the release's: $(cat "$LOG")"
# The debian lane's user, who has no subordinate ids here (they are named 0), is given them.
grep -qx "usermod --add-subuids [0-9]*-[0-9]* --add-subgids [0-9]*-[0-9]* 0" "$LOG" &&
  grep -q "Giving 0 the subordinate ids" "$bin/err" || fail "the tests' user was not given subordinate ids: $(said)"

# Where the release has no clang-format of its own, the newest there is.
NO_CLANG_FORMAT=1 run 0 yes tests
grep -q "install .* clang-format-22\( \|$\)" "$LOG" || fail "without the release's clang-format it did not take the newest: $(cat "$LOG")"

# Without Wine the Windows lanes are left out, and named; everything else is installed all the same.
NONE="wine" run 0 yes tests
[ $status -eq 0 ] || fail "without Wine the tests' packages failed: $(said)"
[ "$(cat "$bin/out")" = "windows: not run here: the Windows unit tests, the Wine lane and the zip check, because this system's apt has no wine" ] ||
  fail "without Wine it did not name the Windows lanes alone: $(said)"
grep -q "install .* wine\( \|$\)\|googletest" "$LOG" && fail "it installed the Windows lanes' packages all the same: $(cat "$LOG")"
grep -q "install .* chromium " "$LOG" || fail "without Wine it installed nothing else: $(cat "$LOG")"

# On arm64, whose Wine runs no x86-64 program, the Windows lanes are left out though apt has Wine,
# and so is the release, which is made on amd64.
ARCH=arm64 run 0 yes tests
[ $status -eq 0 ] || fail "on arm64 the tests' packages failed: $(said)"
[ "$(cat "$bin/out")" = "windows: not run here: the Windows unit tests, the Wine lane and the zip check, because this system's Wine cannot run x86-64 Windows programs (arm64)
release: not run here: the release, made with a throwaway key and taken as users take it, because a release is made on amd64 (arm64)" ] ||
  fail "on arm64 it did not name the Windows and release lanes alone: $(said)"
grep -q "wine\|mingw\|googletest\|add-architecture\|crossbuild\|:arm64" "$LOG" &&
  fail "on arm64 it installed the Windows, release or cross-building packages: $(cat "$LOG")"
grep -q "install .* sbuild " "$LOG" || fail "on arm64 it did not install the debian lane's packages: $(cat "$LOG")"
# Nor is the page's build installed for a release that cannot be made here.
ARCH=arm64 run 0 yes tests release
grep -q "emscripten\|arm64" "$LOG" && fail "on arm64 it installed the page's build for the release lane: $(cat "$LOG")"

# Lanes asked for by name: the Linux lane's packages alone, and the others named as not asked for.
run 0 yes tests linux
[ $status -eq 0 ] || fail "for the Linux lane the tests' packages failed: $(said)"
[ "$(cut -d: -f1-2 "$bin/out" | paste -sd' ')" = "windows: not asked for chromium: not asked for firefox: not asked for webkit: not asked for debian: not asked for release: not asked for" ] ||
  fail "for the Linux lane it did not name the others as not asked for: $(said)"
grep -q "install .* xvfb .*clang-format-21" "$LOG" || fail "for the Linux lane it did not install its packages: $(cat "$LOG")"
grep -q "wine\|mingw\|emscripten\|chromium\|firefox\|webkit\|npm\|arm64\|lintian\|sbuild\|usermod" "$LOG" &&
  fail "for the Linux lane it installed another's, or gave subordinate ids: $(cat "$LOG")"
# A browser takes the page's build too, and nothing of the Linux lane's.
run 0 yes tests firefox
grep -q "install .* emscripten .*firefox-esr" "$LOG" || fail "for Firefox it did not install the page's build and Firefox: $(cat "$LOG")"
grep -q "lintian\|chromium\|wine\|clang-format" "$LOG" && fail "for Firefox it installed another lane's packages: $(cat "$LOG")"
# Where user namespaces are refused (a chroot), the debian lane is left out, and named.
NO_USERNS=1 run 0 yes tests debian
grep -qx "debian: not run here: the Debian package, built and tested as Debian does, because this system refuses user namespaces (a chroot, or a container that forbids them)" "$bin/out" ||
  fail "where user namespaces are refused, the debian lane was not named as left out: $(said)"
grep -q "sbuild\|usermod" "$LOG" && fail "where user namespaces are refused, it installed for the debian lane: $(cat "$LOG")"
# A name that is no lane is an error that lists the lanes.
run 0 yes tests linux chrome
[ $status -eq 2 ] && grep -q "no lane called 'chrome'; the lanes are: linux windows chromium firefox webkit debian release" "$bin/err" ||
  fail "a lane called chrome was not refused, naming the lanes: $(said)"
[ -s "$LOG" ] && fail "for a lane that is none it still ran: $(cat "$LOG")"

# A package that every test needs stops it.
NONE="xvfb" run 0 yes tests
[ $status -eq 1 ] && grep -q "The tests need xvfb, which this system's apt does not have" "$bin/err" ||
  fail "without Xvfb it did not stop, naming it: $(said)"
grep -q "install" "$LOG" && fail "without Xvfb it installed all the same: $(cat "$LOG")"
# A release's packages, through sudo: arm64's libraries once dpkg has arm64 among its architectures.
run 1000 yes release
[ $status -eq 0 ] || fail "for a release it failed: $(said)"
grep -q "sudo dpkg --add-architecture arm64" "$LOG" && grep -q "install .* debhelper .*crossbuild-essential-arm64 .*libglut-dev:arm64 .*apt-utils" "$LOG" ||
  fail "for a release it did not add arm64 through sudo and install debhelper, the cross-compiler, the arm64 libraries and apt-utils: $(cat "$LOG")"

# The test command, with cmake, ctest and cpack standing in: for the lanes asked for it configures
# and builds the presets BUILT alone, in that order, packs PACKED and runs the tests of TESTED.
expect_trees() { # "LANE..." BUILT PACKED TESTED
  script=$top/tests/run.sh run 0 yes $1
  [ $status -eq 0 ] || fail "tests/run.sh ${1:-} failed: $(said)"
  asked() { sed -n "s/^$1 --preset \([^ ]*\).*/\1/p" "$LOG" | paste -sd' '; }
  [ "$(asked cmake)" = "$2" ] && [ "$(asked "cmake --build")" = "$2" ] && [ "$(asked cpack)" = "$3" ] &&
    [ "$(asked ctest)" = "$4" ] ||
    fail "tests/run.sh ${1:-with no lane} configured $(asked cmake), built $(asked "cmake --build"), packed" \
      "$(asked cpack) and tested $(asked ctest), not $2; $2; $3; $4"
}
expect_trees linux "test" "" test
grep -q "^cmake --preset test -DMIROVALE_LANES=linux;$" "$LOG" || fail "the Linux lane's tests were not told their lane: $(cat "$LOG")"
expect_trees windows "windows-test test" windows "windows-test test"
expect_trees firefox "web test" "" test
expect_trees debian "test" "" test
expect_trees release "windows web test" "" test
expect_trees "" "windows-test windows web test" "windows" "windows-test test"
grep -q "^cmake --preset test -DMIROVALE_LANES=linux;windows;chromium;firefox;webkit;debian;release;$" "$LOG" ||
  fail "with no lane named, the tests were not told every lane: $(cat "$LOG")"
echo "packages.sh installs as root, through sudo, or names what is missing; it leaves out a lane not asked for, or that apt or the machine cannot give; run.sh builds the lanes asked for alone"
