#!/usr/bin/env bash
# Takes the README's screenshots: the grid with the demo set, the editing overlay
# with a selected box, and a data set folder with class names, a missing picture and
# a cut-off one, and its statistics; a data set of 80 classes in the grid, the
# editor and the class picker; a segmentation data set in the grid and the editor; and
# a model's predictions in the grid, the editor and the metrics panel; a review sorted
# and filtered by status; and a near-duplicate group. Runs the app on a virtual display
# and drives it with xdotool.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
command -v xdotool >/dev/null || apt-get install -y -qq xdotool >/dev/null
scripts/build.sh build
demo=$(mktemp -d)
# Settings and caches of their own: the window neither opens the data set loaded last nor keeps these.
export XDG_CONFIG_HOME=$demo/settings XDG_CACHE_HOME=$demo/cache
build/tools/boxmere-makedemo "$demo" 12
build/tools/boxmere-makedemo "$demo/d80" 24 80
build/tools/boxmere-makedemo --polygons "$demo/seg" 24 12
build/tools/boxmere-makedemo --predictions "$demo/pred" 24 12
dup=$demo/dup
mkdir -p "$dup/images/train" "$dup/labels/train" "$dup/images/val" "$dup/labels/val"
for i in 001 002 003 004 005 006 007 008; do
    cp "$demo/images/street_$i.jpg" "$dup/images/train/" && cp "$demo/labels/street_$i.txt" "$dup/labels/train/"
done
for i in 009 010 011; do
    cp "$demo/images/street_$i.jpg" "$dup/images/val/" && cp "$demo/labels/street_$i.txt" "$dup/labels/val/"
done
convert "$demo/images/street_003.jpg" -quality 60 "$dup/images/val/street_103.jpg"
cp "$demo/labels/street_003.txt" "$dup/labels/val/street_103.txt"
convert "$demo/images/street_006.jpg" -resize 90% "$dup/images/train/street_006b.jpg"
cp "$demo/labels/street_006.txt" "$dup/labels/train/street_006b.txt"
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
# Starts the app with these arguments and gives its window the screen's size.
start() {
    build/boxmere "$@" 2>/dev/null &
    app=$!
    sleep 3
    xdotool search --name Annotator windowsize 1000 740
}
stop() {
    kill $app
    wait $app 2>/dev/null || true
}
start
sleep 1
xdotool mousemove 300 59 click 1 type "$demo/images"
xdotool mousemove 300 89 click 1 type "$demo/labels"
xdotool mousemove 940 179 click 1
sleep 2
import -window root docs/grid.png
# Open the third tile, add a box under the pointer and select it.
xdotool mousemove 620 420 click 1
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
xdotool mousemove 70 179 click 1
sleep 1.5
xdotool mousemove 220 23 click 1 key ctrl+a type "$demo/ds"
xdotool key Return
sleep 2
import -window root docs/dataset.png
xdotool mousemove 950 308 click 1
sleep 1.5
import -window root docs/statistics.png
stop
# The data set of 80 classes, opened from the command line: tags, colours, the picker.
start "$demo/d80"
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
stop
# The segmentation data set: people outlined, signs as oriented boxes; then one
# person's outline selected in the editor.
start "$demo/seg"
sleep 2
import -window root docs/segmentation-grid.png
xdotool mousemove 380 400 click 1
sleep 1.5
xdotool mousemove 500 400 click 1
sleep 0.5
import -window root docs/segmentation-editor.png
stop
# A model's predictions against the labels: the grid filtered to images with missed
# boxes, most disagreements first; the first of them in the editor with its first
# disagreement selected; the metrics panel.
start "$demo/pred" --predictions "$demo/pred/predictions"
sleep 2
xdotool mousemove 590 319 click 1
sleep 0.5
xdotool key Down Down Return
sleep 0.5
# "Most disagreements", after the orders that need no predictions.
xdotool mousemove 735 319 click 1
sleep 0.5
xdotool key Down Down Down Down Down Down Return
sleep 1.5
import -window root docs/predictions-grid.png
xdotool mousemove 130 480 click 1
sleep 1.5
xdotool key n
sleep 0.5
import -window root docs/predictions-editor.png
xdotool key Escape
sleep 0.5
xdotool mousemove 595 351 click 1
sleep 3
import -window root docs/predictions-metrics.png
xdotool key Escape
sleep 0.5
# A review under way: the first images accepted or sent back from the editor, then the
# grid sorted by status, and filtered to the images that need fixing.
xdotool mousemove 590 319 click 1
sleep 0.5
xdotool key Up Up Return
sleep 0.5
xdotool mousemove 735 319 click 1
sleep 0.5
xdotool key Up Up Up Up Up Up Return
sleep 1
xdotool mousemove 130 480 click 1
sleep 1.5
for key in g x g g x g g; do xdotool key $key; sleep 0.7; done
xdotool key Escape
sleep 0.5
xdotool mousemove 735 319 click 1
sleep 0.5
xdotool key Down Down Down Down Return
sleep 1
import -window root docs/review-sorted.png
xdotool mousemove 165 287 click 1
sleep 0.5
xdotool key Down Down Down Return
sleep 1
import -window root docs/review-needs-fix.png
stop
# Near-duplicates: a picture of train again in val, recompressed, and one twice in
# train, a little smaller.
start "$demo/dup"
sleep 2
xdotool mousemove 915 270 click 1
sleep 3
xdotool mousemove 640 272 click 1
sleep 1
import -window root docs/near-duplicates.png
stop
INNER
rm -rf "$demo"
