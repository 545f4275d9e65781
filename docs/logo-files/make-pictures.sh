#!/bin/sh
# SPDX-License-Identifier: MIT
# Redraws the README's pictures of logo files: a 2000 x 800 PNG with a
# transparent background (shown over a checkerboard), and its dots on 80 mm
# paper made by each way tessaline-cli has, from the build's own tool.
# Usage: docs/logo-files/make-pictures.sh   (BUILD_DIR overrides build/default)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${BUILD_DIR:-$root/build/default}
cmake --build "$build" --target tessaline-cli tessaline-control >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-logo-pictures.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
mkdir -p "$HOME"
cli="$build/tools/tessaline-cli"
"$cli" register "$build/control/libtessaline-control.so" >/dev/null
cd "$work"
convert -size 2000x800 xc:none -fill '#1f5f9f' -draw 'roundrectangle 40,40 760,760 120,120' \
  -fill '#f0c040' -draw 'circle 400,400 400,160' -fill black -font DejaVu-Sans-Bold \
  -pointsize 260 -annotate +820+520 'Bakery' -blur 0x1.5 PNG32:logo.png
convert -size 2000x800 pattern:checkerboard logo.png -composite -resize 576x \
  "$here/logo.png"
"$cli" preview --fit 576 --dither floyd-steinberg logo.png >/dev/null
convert Temp.bmp "$here/printed.png"
for kind in threshold stucki floyd-steinberg atkinson bayer; do
  "$cli" preview --fit 576 --dither "$kind" logo.png >/dev/null
  convert Temp.bmp -crop 288x230+0+0 +repage "$here/$kind.png"
done
