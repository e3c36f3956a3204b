#!/usr/bin/env bash
# Installs what is missing, builds Boxmere, makes the demo data sets once, and starts the app
# with its arguments (a data set folder to open).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
if [ ! -d build/demo/labels ]; then
    build/tools/boxmere-makedemo build/demo 12
    echo "Demo data set: $(pwd)/build/demo/images and $(pwd)/build/demo/labels" >&2
fi
if [ ! -d build/demo80/labels ]; then
    build/tools/boxmere-makedemo build/demo80 24 80
    echo "Demo data set of 80 classes: scripts/run.sh build/demo80" >&2
fi
if [ ! -d build/demoseg/labels ]; then
    build/tools/boxmere-makedemo --polygons build/demoseg 24 12
    echo "Segmentation demo data set (polygons and oriented boxes): scripts/run.sh build/demoseg" >&2
fi
if [ ! -d build/demopred/predictions ]; then
    build/tools/boxmere-makedemo --predictions build/demopred 24 12
    echo "Demo data set with a model's predictions: scripts/run.sh build/demopred --predictions build/demopred/predictions" >&2
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: run it as 'xvfb-run -a scripts/run.sh' to start it on a virtual one." >&2
fi
exec build/boxmere "$@"
