#!/usr/bin/env bash
# Renders docs/screenshot.png, the viewer's first frame of the bundled terrain, and from it the
# 256 x 256 icon, packaging/mirovale.png, and the same icon drawn at 512 x 512 for the web page,
# packaging/mirovale-512.png, under a private Xvfb (Debian packages xvfb, libxtst-dev and
# libpng-dev).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-docs -DCMAKE_BUILD_TYPE=Release -DMIROVALE_REQUIRE_TESTS=ON >/dev/null
cmake --build build-docs -j "$(nproc)" --target mirovale screenshot
build-docs/tests/screenshot build-docs/sample.raw docs/screenshot.png
build-docs/tests/screenshot build-docs/sample.raw packaging/mirovale.png 256
build-docs/tests/screenshot build-docs/sample.raw packaging/mirovale-512.png 512
echo "wrote docs/screenshot.png, packaging/mirovale.png and packaging/mirovale-512.png"
