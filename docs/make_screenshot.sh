#!/usr/bin/env bash
# Renders docs/screenshot.png, the viewer's first frame of the bundled terrain, and from it the
# 256 x 256 icon, packaging/mirovale.png, under a private Xvfb (Debian packages xvfb, libxtst-dev
# and libpng-dev).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-docs -DCMAKE_BUILD_TYPE=Release -DMIROVALE_REQUIRE_TESTS=ON >/dev/null
cmake --build build-docs -j "$(nproc)" --target mirovale screenshot
build-docs/tests/screenshot build-docs/sample.raw docs/screenshot.png
build-docs/tests/screenshot build-docs/sample.raw packaging/mirovale.png 256
echo "wrote docs/screenshot.png and packaging/mirovale.png"
