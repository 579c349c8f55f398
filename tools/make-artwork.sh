#!/bin/sh
# Regenerates the saver's artwork in res/ from committed sources:
#   res/glyphs.bin       the raw glyph atlas (DATAPACK 106), from the DejaVu faces
#   res/tavrin.ico       icon group 100, a moon at 16, 32, 48 and 256 pixels
#   res/dialog_side.bmp  bitmap 111, the moon and the Earth over stars, 165 x 400
# Builds make_atlas and render_moon in BUILD/native (default: build), works in
# BUILD/artwork and leaves PNG previews of everything there to look at.
#
# usage: tools/make-artwork.sh [BUILD]
# needs: cmake, ninja, g++, libfreetype-dev, fonts-dejavu-core, djpeg
#        (libjpeg-turbo-progs) and ImageMagick's convert.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build="$root/$build" ;; esac
tree="$build/native"
work="$build/artwork"
res="$root/res"
fonts=/usr/share/fonts/truetype/dejavu
assets="$root/../shared/assets"
[ -n "${TAVRIN_ASSETS:-}" ] && assets=$TAVRIN_ASSETS
for map in moon-4096x2048.jpg earth-2048x1024.jpg; do
  [ -f "$assets/$map" ] || { echo "make-artwork: $assets/$map is missing (set TAVRIN_ASSETS)" >&2; exit 1; }
done

[ -f "$tree/CMakeCache.txt" ] || cmake -S "$root" -B "$tree" -G Ninja >/dev/null
cmake --build "$tree" --target make_atlas render_moon
mkdir -p "$work"
render="$tree/render_moon"

# ImageMagick writes the time of day into PNG chunks unless told not to;
# without them the outputs are the same bytes on every run.
stable="-strip -define png:exclude-chunks=date,time"

# --- Glyph atlas -------------------------------------------------------------
# 15 px is the largest size at which every glyph of both faces fits 16 rows
# (DejaVu's '|' and '_' reach 4 rows below the baseline). Set 0, which every
# text of the saver uses, is the monospaced bold face placed by its pen
# origin: with the saver's fixed 16-pixel advance the texts come out evenly
# spaced (a proportional face left its narrow letters with wide gaps after
# them). Set 1 is the proportional DejaVu Sans.
"$tree/make_atlas" \
  --set0 "$fonts/DejaVuSansMono-Bold.ttf:15" --set1 "$fonts/DejaVuSans.ttf:15" \
  --hinting normal --align origin --logo-gap 1 --out "$res/glyphs.bin" \
  --preview "$work/atlas.pgm" --logo-preview "$work/logo.ppm" >"$work/atlas.txt"
cat "$work/atlas.txt"
convert "$work/atlas.pgm" -scale 300% $stable "$work/atlas.png"
convert "$work/logo.ppm" -scale 400% $stable "$work/logo.png"

# --- Moon icon -----------------------------------------------------------------
djpeg -pnm "$assets/moon-4096x2048.jpg" >"$work/moon.ppm"
djpeg -pnm "$assets/earth-2048x1024.jpg" >"$work/earth.ppm"

# Light from the upper left and a little in front: a gibbous moon whose soft
# terminator runs down the lower right. The map is near grey; a trace of its
# tint is kept.
moonlight="--light -0.4,0.32,0.86 --lommel 0.45 --softness 0.12 --saturation 0.4 --night 0.008"

# 256 px straight from the renderer. The small sizes are rendered at eight
# times their size and shrunk with a Lanczos filter, which keeps the limb and
# the maria crisper than a box average. The smaller the icon, the more
# contrast and light, so that the maria still read at 16 px, and a darkened
# ring about a pixel wide at the limb keeps the outline on white ground.
# Columns: size, contrast, exposure, rim width in radii.
"$render" globe --map "$work/moon.ppm" --out "$work/moon256.pam" --size 256 --diameter 250 \
  --supersample 4 $moonlight --exposure 2.0 --contrast 1.1
convert "$work/moon256.pam" $stable "$work/moon256.png"
for sizing in "48 1.15 2.0 0.06" "32 1.2 2.05 0.09" "16 1.35 2.2 0.16"; do
  set -- $sizing
  big=$(($1 * 8))
  "$render" globe --map "$work/moon.ppm" --out "$work/moon$1.pam" --size $big \
    --diameter $((big * 39 / 40)) --supersample 2 $moonlight --contrast "$2" --exposure "$3" \
    --rim-width "$4" --rim-darken 0.45
  # Lanczos rings a little: clip the alpha's ripples, faint specks outside the
  # disk and 253s inside it, so that the icon's mask is clean.
  convert "$work/moon$1.pam" -filter Lanczos -resize "$1x$1" -channel A -level 2%,98% +channel \
    $stable "$work/moon$1.png"
done
# Windows reads the 256 px entry as PNG, the others as 32-bit DIBs with alpha.
convert "$work/moon16.png" "$work/moon32.png" "$work/moon48.png" "$work/moon256.png" \
  $stable "$res/tavrin.ico"

# --- Dialog picture --------------------------------------------------------------
# 165 x 400 pixels. With the dialog's 8-point "MS Sans Serif" a dialog unit is
# 1.5 x 1.625 pixels at 96 DPI (base units 6 x 13), so the tab control starts
# at 174 pixels and the client area is 374 pixels tall: the picture leaves a
# 9-pixel margin before the tab control and keeps 26 rows in hand for larger
# dialog fonts. Nothing that matters lies below row 374.
width=165
height=400
"$render" stars $width $height 360 20240611 "$work/stars.ppm"
"$render" globe --map "$work/moon.ppm" --out "$work/side-moon.pam" --size 148 --diameter 146 \
  --supersample 4 $moonlight --exposure 2.0 --contrast 1.1
"$render" globe --map "$work/earth.ppm" --out "$work/side-earth.pam" --size 38 --diameter 37 \
  --supersample 8 --light -0.4,0.32,0.86 --lommel 0 --softness 0.2 --night 0.002 \
  --exposure 1.4 --longitude 20 --latitude 20
# A faint halo around the moon, from its own silhouette.
convert "$work/side-moon.pam" -alpha extract -background black -gravity center -extent 220x220 \
  -blur 0x14 "$work/side-halo.png"
convert -size ${width}x$height gradient:'#101a30-#020307' \
  "$work/stars.ppm" -compose screen -composite \
  \( "$work/side-halo.png" -evaluate multiply 0.18 \) -gravity northwest -geometry +-28+134 -compose screen -composite \
  "$work/side-moon.pam" -geometry +8+170 -compose over -composite \
  "$work/side-earth.pam" -geometry +28+58 -compose over -composite \
  -alpha off -type TrueColor "BMP3:$res/dialog_side.bmp"
convert "$res/dialog_side.bmp" $stable "$work/dialog_side.png"

echo "artwork written to $res; previews in $work"
