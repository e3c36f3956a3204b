#!/usr/bin/env bash
# Takes the README's screenshots: the grid with the demo set, and the editing overlay
# with a selected box. Runs the app on a virtual display and drives it with xdotool.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
command -v xdotool >/dev/null || apt-get install -y -qq xdotool >/dev/null
scripts/build.sh build
demo=$(mktemp -d)
build/tools/boxmere-makedemo "$demo" 12

xvfb-run -a -s "-screen 0 1000x740x24" bash -s "$demo" <<'INNER'
set -eu
demo=$1
build/boxmere 2>/dev/null &
app=$!
sleep 3
xdotool search --name Annotator windowsize 1000 740
sleep 1
xdotool mousemove 300 30 click 1 type "$demo/images"
xdotool mousemove 300 60 click 1 type "$demo/labels"
xdotool mousemove 940 90 click 1
sleep 2
import -window root docs/grid.png
# Open the third tile, add a box under the pointer and select it.
xdotool mousemove 620 270 click 1
sleep 1.5
xdotool mousemove 720 200 key 1
sleep 0.3
xdotool mousemove 720 200 click 1
sleep 0.5
import -window root docs/overlay.png
kill $app
INNER
rm -rf "$demo"
