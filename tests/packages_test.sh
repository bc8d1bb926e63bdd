#!/usr/bin/env bash
# Runs tools/packages.sh against stand-ins for dpkg-query, apt-cache, id, sudo and apt-get that log
# what they are asked: as root it installs with apt-get, as a user through sudo, and as a user
# without sudo it names the missing packages and installs nothing; it installs the release's own
# clang-format; a lane whose packages apt has not got is named and left out, while a package
# every test needs stops it. Only make counts as installed; apt has every package but those in
# $NONE, and its clang-format stands for clang-format-21.
set -euo pipefail
script="$(cd "$(dirname "$0")/.." && pwd)/tools/packages.sh"
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
for tool in bash env grep cat sed sort tail head awk; do ln -s "$(command -v $tool)" "$bin/$tool"; done
cat >"$bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
[ "${*: -1}" = make ] && echo "install ok installed"
exit 0
STUB
cat >"$bin/apt-cache" <<'STUB'
#!/usr/bin/env bash
case "$1" in
policy) [[ " $NONE " == *" $2 "* ]] && echo "  Candidate: (none)" || echo "  Candidate: 1.0" ;;
depends) [ "$2" = clang-format ] && printf 'clang-format\n  Depends: clang-format-21\n' ;;
pkgnames) printf '%s\n' clang-format-19 clang-format-21 clang-format-22 ;;
esac
STUB
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
chmod +x "$bin"/dpkg-query "$bin"/apt-cache "$bin"/id "$bin"/sudo "$bin"/apt-get

fail() { echo "FAILED: $*" >&2; exit 1; }
# run UID WITH_SUDO [JOB]: runs the script for the job's packages (the viewer's); leaves its log in
# $LOG, what it said on standard output in $bin/out and on standard error in $bin/err.
run() {
  export LOG="$bin/log" FAKE_UID=$1 NONE=${NONE:-}
  : >"$LOG"
  [ "$2" = yes ] || mv "$bin/sudo" "$bin/no-sudo"
  status=0
  PATH="$bin" "$bin/bash" "$script" "${3:-viewer}" >"$bin/out" 2>"$bin/err" || status=$?
  [ -e "$bin/sudo" ] || mv "$bin/no-sudo" "$bin/sudo"
}
said() { cat "$bin/out" "$bin/err"; }
wanted="g++ cmake dpkg-dev libgl-dev libglut-dev libx11-dev libgl1-mesa-dri"

run 1000 yes
[ $status -eq 0 ] || fail "as a user with sudo it failed: $(said)"
grep -qx "sudo apt-get update -qq" "$LOG" || fail "as a user it did not update through sudo: $(cat "$LOG")"
grep -qx "sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $wanted" "$LOG" ||
  fail "as a user it did not install the missing packages through sudo: $(cat "$LOG")"

run 0 yes
[ $status -eq 0 ] || fail "as root it failed: $(said)"
grep -q sudo "$LOG" && fail "as root it used sudo: $(cat "$LOG")"
grep -qx "apt-get install -y -qq --no-install-recommends $wanted" "$LOG" || fail "as root it did not install the missing packages: $(cat "$LOG")"

run 1000 no
[ $status -eq 1 ] || fail "as a user without sudo it did not stop with status 1"
grep -q "apt-get install $wanted" "$bin/err" || fail "as a user without sudo it did not name what is missing: $(said)"
[ -s "$LOG" ] && fail "as a user without sudo it still ran: $(cat "$LOG")"

# The tests, where apt has everything: every lane's packages, and the release's own clang-format.
run 0 yes tests
[ $status -eq 0 ] && [ ! -s "$bin/out" ] || fail "with everything there, the tests' packages were refused: $(said)"
for package in clang-format-21 wine chromium firefox-esr libwebkit2gtk-4.1-0 emscripten npm; do
  grep -q "install .* $package\( \|$\)" "$LOG" || fail "it did not install $package for the tests: $(cat "$LOG")"
done
grep -q "clang-format-22\|clang-format " "$LOG" && fail "it took another clang-format than the release's: $(cat "$LOG")"

# Without Wine the Windows lanes are left out, and named; everything else is installed all the same.
NONE="wine" run 0 yes tests
[ $status -eq 0 ] || fail "without Wine the tests' packages failed: $(said)"
[ "$(cat "$bin/out")" = "windows: the Windows unit tests, the Wine lane and the zip check, because this system's apt has no wine" ] ||
  fail "without Wine it did not name the Windows lanes alone: $(said)"
grep -q "install .* wine\( \|$\)\|mingw" "$LOG" && fail "it installed the Windows lanes' packages all the same: $(cat "$LOG")"
grep -q "install .* chromium " "$LOG" || fail "without Wine it installed nothing else: $(cat "$LOG")"

# A package that every test needs stops it.
NONE="xvfb" run 0 yes tests
[ $status -eq 1 ] && grep -q "The tests need xvfb, which this system's apt does not have" "$bin/err" ||
  fail "without Xvfb it did not stop, naming it: $(said)"
grep -q "install" "$LOG" && fail "without Xvfb it installed all the same: $(cat "$LOG")"
echo "packages.sh installs as root, through sudo, or names what is missing; it leaves out a lane apt cannot give"
