#!/bin/bash
# Takes the README's screenshots of the real program under Xvfb: the main dialog on the sample
# bank, and an evaluation after answering every question of the first test with A.
# Usage: tests/app/take-screenshots.sh BUILD_DIR OUTPUT_DIR [SCALE]
# With SCALE 2 the program runs with QT_SCALE_FACTOR=2 and the files are named *-scale2.png.
set -euo pipefail
build=$(realpath "${1:?build directory}")
out=${2:?output directory}
scale=${3:-1}
suffix=""
if [ "$scale" != 1 ]; then
  export QT_SCALE_FACTOR=$scale
  suffix="-scale$scale"
fi
program=$build/app/marvolen
bank=$build/sample/tovra.mdb
mkdir -p "$out"
work=$(mktemp -d)
trap 'kill $app $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$bank" "$work/tovra.mdb"

Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 $((900 * scale))x$((600 * scale))x24 3>"$work/display" &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
unset QT_QPA_PLATFORM

(cd "$work" && exec "$program") &
app=$!
for _ in $(seq 300); do
  win=$(xdotool search --onlyvisible --name '^Marvolen$' 2>/dev/null | head -1 || true)
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { echo "no main dialog" >&2; exit 1; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$win")"
/usr/bin/import -window "$win" "$out/main-dialog$suffix.png"

# 下一题 stands at dialog units (109, 242, 50, 14): its centre in pixels with 6 x 12 base units.
next_x=$((X + (109 + 25) * 6 / 4 * scale)); next_y=$((Y + (242 + 7) * 12 / 8 * scale))
for _ in $(seq 60); do
  xdotool mousemove "$next_x" "$next_y" click 1
  sleep 0.2
done
sleep 0.5
/usr/bin/import -window "$win" "$out/evaluation$suffix.png"
echo "screenshots in $out"
