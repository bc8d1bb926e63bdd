#!/usr/bin/env bash
# Fetches the upstream source in Debian's freeglut source package into DIR (as DIR/freeglut-VERSION)
# with apt-get source, from the Debian archives this machine's apt already names, turned into
# deb-src entries in a private list: the system's own apt configuration and package lists stay as
# they are. Only the upstream tarball is taken: Debian's changes to it concern its own Linux
# packaging alone, and some mirrors serve the tarball but not those changes.
# Usage: tools/freeglut_source.sh DIR
set -euo pipefail
dir=$(realpath -m "$1")
apt="$dir/apt"
mkdir -p "$apt/sources" "$apt/lists/partial" "$apt/cache/archives/partial"

eval "$(apt-config shell list Dir::Etc::sourcelist/f parts Dir::Etc::sourceparts/d)"
# One-line lists and deb822 .sources files alike: every binary entry becomes a source entry.
for file in "$list" "$parts"/*.list "$parts"/*.sources; do
  [ -f "$file" ] || continue
  case "$file" in
  *.list) sed -nE 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' "$file" ;;
  *.sources) sed -E 's/^Types:.*/Types: deb-src/' "$file" ;;
  esac >"$apt/sources/$(basename "$file")"
done

options=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt/sources"
  -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=$(id -un)")
apt-get "${options[@]}" -qq update
cd "$dir"
apt-get "${options[@]}" -qq source --tar-only freeglut >/dev/null
tar -xf freeglut_*.orig.tar.*
