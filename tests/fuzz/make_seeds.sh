#!/bin/sh
# Seed corpora for the fuzz targets, made with qvm from two small movies.
# usage: make_seeds.sh QVM OUTDIR
set -e
qvm=$1 out=$2
convert=convert-im6.q16
command -v $convert >/dev/null || convert=convert
work=$out/work
rm -rf "$out" && mkdir -p "$work"
for c in red green blue; do $convert -size 12x6 xc:$c "$work/$c.png"; done
$convert -size 12x6 xc:white -fill black -draw 'rectangle 2,1 6,3' "$work/box.png"
cat > "$work/header" <<'H'
SplashText
040
040 Seed Movie
005 x
EndSplashText
WindowText "Seed"
TitleBarHeight 12
CloseRightEdge 3
InactiveUpperLeft 1 1
InactiveWidHeight 4 3
HelpOn
ScreenFill=1
WindowRoundingStyle=1
H
cat > "$work/list" <<'L'
inactive box.png
red.png 40
green.png click 1,1,5,4
box.png 0
StopReading
blue.png 100
L
"$qvm" build -o "$work/a.QVM" --header "$work/header" --list "$work/list"
"$qvm" build -o "$work/b.QVM" --delay 7 "$work/red.png" "$work/box.png"
printf 'MZ\220\0 player image' > "$work/player"
"$qvm" bundle "$work/player" "$work/a.QVM" -o "$work/bundle.exe"
"$qvm" pair "$work/a.QVM" "$work/pair"
for t in settings frame_index locator splash row_list timing_line; do mkdir -p "$out/$t"; done
for t in settings frame_index splash; do cp "$work/a.QVM" "$work/b.QVM" "$out/$t/"; done
cp "$work/pair/demoFlow.txt" "$out/settings/pair_flow"
cp "$work/bundle.exe" "$work/a.QVM" "$out/locator/"
# Row list seeds: a frame's row list (without "$"), then the width and stack.
for m in a b; do
  list=$(grep -a '^\$' "$work/$m.QVM" | head -1 | tr -d '\r$')
  { printf '%s\n' "$list"; cat "$work/pair/demoStack.kts"; } > "$out/row_list/$m"
done
grep -a 'Timer' "$work/a.QVM" | tr -d '\r' | split -l 1 - "$out/timing_line/line_"
rm -rf "$work"
