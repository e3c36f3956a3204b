#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite through
# ctest, builds and checks the Debian package, then runs the tests again in a build
# with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

scripts/build.sh build
echo "== tests" >&2
(cd build && ctest --output-on-failure -j2)
echo "== Debian package" >&2
scripts/package.sh build
scripts/checkpackage.sh build

scripts/build.sh build-asan -DBOXMERE_SANITIZE=ON -DBOXMERE_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer" >&2
(cd build-asan && UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j2)
