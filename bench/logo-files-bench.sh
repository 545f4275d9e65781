#!/bin/sh
# SPDX-License-Identifier: MIT
# Times the whole preview of a 2000 x 800 RGBA PNG logo (transparent
# background, grey edges) fitted to 80 mm paper, 576 dots, against
# ImageMagick doing the same steps, both as processes, alternately in one run:
#   tessaline-cli preview --fit 576 --dither floyd-steinberg logo.png
#   convert logo.png -resize 576x -background white -flatten -dither FloydSteinberg -monochrome
# and prints the median of each and their ratio.
# Usage: bench/logo-files-bench.sh [ROUNDS]   (BUILD_DIR overrides build/default)
# ImageMagick is called by its own path (CONVERT overrides /usr/bin/convert), so
# no wrapper earlier on PATH is timed with it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/default}
rounds=${1:-15}
convert=${CONVERT:-/usr/bin/convert}
cmake --build "$build" --target tessaline-cli tessaline-control >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-bench-logo.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
mkdir -p "$HOME"
cli="$build/tools/tessaline-cli"
"$cli" register "$build/control/libtessaline-control.so" >/dev/null
cd "$work"
"$convert" -size 2000x800 xc:none -fill '#1f5f9f' -draw 'roundrectangle 40,40 760,760 120,120' \
  -fill '#f0c040' -draw 'circle 400,400 400,160' -fill black -font DejaVu-Sans-Bold \
  -pointsize 260 -annotate +820+520 'Bakery' -blur 0x1.5 PNG32:logo.png

now() { date +%s%N; }
ours=""
theirs=""
i=0
while [ "$i" -lt "$rounds" ]; do
  t0=$(now)
  "$cli" preview --fit 576 --dither floyd-steinberg logo.png >/dev/null
  t1=$(now)
  "$convert" logo.png -resize 576x -background white -flatten -dither FloydSteinberg \
    -monochrome magick.bmp
  t2=$(now)
  ours="$ours $(( (t1 - t0) / 1000 ))"
  theirs="$theirs $(( (t2 - t1) / 1000 ))"
  i=$((i + 1))
done
median() { printf '%s\n' $1 | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
m_ours=$(median "$ours")
m_theirs=$(median "$theirs")
echo "logo.png 2000 x 800 RGBA -> 576 dots, $rounds rounds, whole processes:"
echo "  tessaline-cli preview --fit 576 --dither floyd-steinberg: median ${m_ours} us"
echo "  convert -resize 576x -flatten -dither FloydSteinberg -monochrome: median ${m_theirs} us"
awk -v a="$m_ours" -v b="$m_theirs" 'BEGIN {printf "  ours / ImageMagick: %.2f\n", a / b}'
