#!/usr/bin/env bash
# Makes the Debian packages of the checkout as Debian builds them: the source package, in
# OUT/source (tools/source_package.sh), and from it, unpacked in OUT/tree, a binary package for each
# ARCH by dpkg-buildpackage, in OUT, with its log in OUT/build-ARCH.log. This machine's own is built
# with the unit tests; any other is cross-built, without them.
# Usage: tools/debian_packages.sh OUT ARCH...
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 OUT ARCH..." >&2 && exit 2; }
out=$(realpath -m -- "$1")
shift
source=$(cd "$(dirname "$0")/.." && pwd)
dsc=$("$source/tools/source_package.sh" "$out/source")
dpkg-source --extract "$dsc" "$out/tree" >/dev/null 2>&1 || { echo "dpkg-source could not unpack $dsc" >&2 && exit 1; }
for arch in "$@"; do
  options=(-us -uc -b -j"$(nproc)")
  [ "$arch" = "$(dpkg --print-architecture)" ] || options+=(-a"$arch" -Pcross,nocheck)
  (cd "$out/tree" && dpkg-buildpackage "${options[@]}") >"$out/build-$arch.log" 2>&1 || {
    tail -n 40 "$out/build-$arch.log" >&2
    echo "dpkg-buildpackage failed for $arch: above are the last lines of what it said." >&2
    exit 1
  }
done
