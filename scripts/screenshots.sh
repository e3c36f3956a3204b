#!/usr/bin/env bash
# Takes the README's screenshots: the grid with the demo set, the editing overlay
# with a selected box, and a data set folder with class names, a missing picture and
# a cut-off one, and its statistics; a data set of 80 classes in the grid, the
# editor and the class picker; a segmentation data set in the grid and the editor; and
# a model's predictions in the grid, the editor and the metrics panel. Runs the app on a
# virtual display and drives it with xdotool.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
command -v xdotool >/dev/null || apt-get install -y -qq xdotool >/dev/null
scripts/build.sh build
demo=$(mktemp -d)
# Settings of their own: the window neither opens the data set loaded last nor keeps these.
export XDG_CONFIG_HOME=$demo/settings
build/tools/boxmere-makedemo "$demo" 12
build/tools/boxmere-makedemo "$demo/d80" 24 80
build/tools/boxmere-makedemo --polygons "$demo/seg" 24 12
build/tools/boxmere-makedemo --predictions "$demo/pred" 24 12
# The demo set again as a data set with two classes and two splits.
ds=$demo/ds
mkdir -p "$ds/images/train" "$ds/labels/train" "$ds/images/val" "$ds/labels/val"
cp "$demo"/images/* "$ds/images/train/"
cp "$demo"/labels/* "$ds/labels/train/"
mv "$ds/images/train/street_001.jpg" "$ds/images/val/"
mv "$ds/labels/train/street_001.txt" "$ds/labels/val/"
printf 'names:\n  0: car\n  1: person\n' >"$ds/data.yaml"
sed -i 's/^1 /0 /' "$ds/labels/train/street_003.txt"
rm "$ds/images/train/street_005.jpg"
head -c 20000 "$demo/images/street_002.jpg" >"$ds/images/train/street_002.jpg"

xvfb-run -a -s "-screen 0 1000x740x24" bash -s "$demo" <<'INNER'
set -eu
demo=$1
build/boxmere 2>/dev/null &
app=$!
sleep 3
xdotool search --name Annotator windowsize 1000 740
sleep 1
xdotool mousemove 300 59 click 1 type "$demo/images"
xdotool mousemove 300 89 click 1 type "$demo/labels"
xdotool mousemove 940 149 click 1
sleep 2
import -window root docs/grid.png
# Open the third tile, add a box under the pointer and select it.
xdotool mousemove 620 360 click 1
sleep 1.5
xdotool mousemove 720 260 key 1
sleep 0.3
xdotool mousemove 720 260 click 1
sleep 0.5
import -window root docs/overlay.png
# Saved, so that the next load has no unsaved edits to ask about.
xdotool key ctrl+s Escape
sleep 0.5
# "Open dataset…": type the folder into the chooser's path field.
xdotool mousemove 70 149 click 1
sleep 1.5
xdotool mousemove 220 23 click 1 key ctrl+a type "$demo/ds"
xdotool key Return
sleep 2
import -window root docs/dataset.png
xdotool mousemove 950 240 click 1
sleep 1.5
import -window root docs/statistics.png
kill $app
wait $app 2>/dev/null || true
# The data set of 80 classes, opened from the command line: tags, colours, the picker.
build/boxmere "$demo/d80" 2>/dev/null &
app=$!
sleep 3
xdotool search --name Annotator windowsize 1000 740
sleep 2
import -window root docs/classes-grid.png
xdotool mousemove 380 400 click 1
sleep 1.5
# Select the clock's box and ask for its class: type part of a name.
xdotool mousemove 600 415 click 1
sleep 0.3
xdotool key c
sleep 0.5
xdotool type "tr"
sleep 0.5
import -window root docs/classes-picker.png
xdotool key Escape
sleep 0.3
import -window root docs/classes-editor.png
kill $app
wait $app 2>/dev/null || true
# The segmentation data set: people outlined, signs as oriented boxes; then one
# person's outline selected in the editor.
build/boxmere "$demo/seg" 2>/dev/null &
app=$!
sleep 3
xdotool search --name Annotator windowsize 1000 740
sleep 2
import -window root docs/segmentation-grid.png
xdotool mousemove 380 400 click 1
sleep 1.5
xdotool mousemove 500 400 click 1
sleep 0.5
import -window root docs/segmentation-editor.png
kill $app
wait $app 2>/dev/null || true
# A model's predictions against the labels: the grid filtered to images with missed
# boxes, most disagreements first; the first of them in the editor with its first
# disagreement selected; the metrics panel.
build/boxmere "$demo/pred" --predictions "$demo/pred/predictions" 2>/dev/null &
app=$!
sleep 3
xdotool search --name Annotator windowsize 1000 740
sleep 2
xdotool mousemove 608 287 click 1
sleep 0.5
xdotool key Down Down Return
sleep 0.5
xdotool mousemove 760 287 click 1
sleep 0.5
xdotool key Down Return
sleep 1.5
import -window root docs/predictions-grid.png
xdotool mousemove 130 460 click 1
sleep 1.5
xdotool key n
sleep 0.5
import -window root docs/predictions-editor.png
xdotool key Escape
sleep 0.5
xdotool mousemove 595 317 click 1
sleep 3
import -window root docs/predictions-metrics.png
kill $app
INNER
rm -rf "$demo"
