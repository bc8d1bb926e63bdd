#!/usr/bin/env bash
# Runs tools/packages.sh against stand-ins for dpkg-query, id, sudo and apt-get that log what
# they are asked: as root it installs with apt-get, as a user through sudo, and as a user without
# sudo it names the missing packages and installs nothing. Only make counts as installed.
set -euo pipefail
script="$(cd "$(dirname "$0")/.." && pwd)/tools/packages.sh"
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
for tool in bash env grep cat; do ln -s "$(command -v $tool)" "$bin/$tool"; done
cat >"$bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
[ "${*: -1}" = make ] && echo "install ok installed"
exit 0
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
chmod +x "$bin"/dpkg-query "$bin"/id "$bin"/sudo "$bin"/apt-get

fail() { echo "FAILED: $*" >&2; exit 1; }
# run UID WITH_SUDO: runs the script for the viewer's packages; leaves its log in $LOG.
run() {
  export LOG="$bin/log" FAKE_UID=$1
  : >"$LOG"
  [ "$2" = yes ] || mv "$bin/sudo" "$bin/no-sudo"
  status=0
  PATH="$bin" "$bin/bash" "$script" viewer >"$bin/out" 2>&1 || status=$?
  [ -e "$bin/sudo" ] || mv "$bin/no-sudo" "$bin/sudo"
}
wanted="g++ cmake dpkg-dev libgl-dev libglut-dev libx11-dev libgl1-mesa-dri"

run 1000 yes
[ $status -eq 0 ] || fail "as a user with sudo it failed: $(cat "$bin/out")"
grep -qx "sudo apt-get update -qq" "$LOG" || fail "as a user it did not update through sudo: $(cat "$LOG")"
grep -qx "sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $wanted" "$LOG" ||
  fail "as a user it did not install the missing packages through sudo: $(cat "$LOG")"

run 0 yes
[ $status -eq 0 ] || fail "as root it failed: $(cat "$bin/out")"
grep -q sudo "$LOG" && fail "as root it used sudo: $(cat "$LOG")"
grep -qx "apt-get install -y -qq --no-install-recommends $wanted" "$LOG" ||
  fail "as root it did not install the missing packages: $(cat "$LOG")"

run 1000 no
[ $status -eq 1 ] || fail "as a user without sudo it did not stop with status 1"
grep -q "apt-get install $wanted" "$bin/out" || fail "as a user without sudo it did not name what is missing: $(cat "$bin/out")"
[ -s "$LOG" ] && fail "as a user without sudo it still ran: $(cat "$LOG")"
echo "packages.sh installs as root, through sudo, or names what is missing"
