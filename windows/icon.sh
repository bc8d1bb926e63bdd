#!/usr/bin/env bash
# Makes the Windows icon DIR/mirovale.ico from the project's 256 x 256 icon PNG, with the sizes
# Windows asks for: 16, 32 and 48 pixels, scaled down from it (netpbm) and kept beside it as
# DIR/16.png and so on, and the 256-pixel picture itself, held as PNG as Windows holds its large
# icons (icoutils).
# Usage: windows/icon.sh ICON.png DIR
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 ICON.png DIR" >&2; exit 2; }
mkdir -p "$2"
sizes=()
for size in 16 32 48; do
  pngtopam "$1" | pamscale -width "$size" -height "$size" | pamtopng >"$2/$size.png"
  sizes+=("$2/$size.png")
done
icotool --create --output="$2/mirovale.ico" "${sizes[@]}" --raw="$1"
