#!/usr/bin/env bash
# Makes the Debian source package of the checkout in OUT: mirovale_V.dsc and mirovale_V.tar.xz, V
# being the version at the top of debian/changelog. It holds the files git lists (those it keeps,
# as they are now, and new ones it does not ignore), each dated by the changelog and of mode 644, or
# 755 for a program: the same files give the same bytes, whoever makes it, wherever and whenever.
# The package is native: debian/ is the project's own.
# Usage: tools/source_package.sh OUT
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 OUT" >&2 && exit 2; }
out=$(realpath -m -- "$1")
cd "$(dirname "$0")/.."
version=$(dpkg-parsechangelog -S Version)
epoch=$(dpkg-parsechangelog -S Timestamp)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
tree=$stage/mirovale-$version
mkdir "$tree"
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do [ ! -e "$file" ] || printf '%s\0' "$file"; done |
  xargs -0 -r cp -P --parents -t "$tree"
chmod -R u+rw,go=rX "$tree"
find "$tree" -exec touch -h -d "@$epoch" {} +
(cd "$stage" && dpkg-source --build "mirovale-$version" >/dev/null)
mkdir -p "$out"
mv "$stage/mirovale_$version.dsc" "$stage/mirovale_$version.tar.xz" "$out/"
echo "$out/mirovale_$version.dsc"
