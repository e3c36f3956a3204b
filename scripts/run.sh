#!/usr/bin/env bash
# Installs what is missing, builds Boxmere, makes the demo data set once, and starts the app.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
if [ ! -d build/demo/labels ]; then
    build/tools/boxmere-makedemo build/demo 12
    echo "Demo data set: $(pwd)/build/demo/images and $(pwd)/build/demo/labels" >&2
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: run it as 'xvfb-run -a scripts/run.sh' to start it on a virtual one." >&2
fi
exec build/boxmere "$@"
