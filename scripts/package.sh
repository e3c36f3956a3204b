#!/usr/bin/env bash
# Builds the Debian package: scripts/package.sh [DIR]. The .deb lands in DIR, by
# default build-package; a new DIR is built without tests and benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh dpkg-dev file librsvg2-bin
dir=${1:-build-package}
options=()
[ -f "$dir/CMakeCache.txt" ] || options=(-DBOXMERE_TESTS=OFF -DBOXMERE_BENCH=OFF)
scripts/build.sh "$dir" "${options[@]}"
rm -f "$dir"/boxmere_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$dir"/boxmere_*.deb
