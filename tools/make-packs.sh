#!/bin/sh
# Regenerates the saver's JPEG data packs in res/ from the shared source maps:
#   res/sunglow.pack         DATAPACK 105: the sun glow, 256 x 256 (generated here)
#   res/surface-low.pack     DATAPACK 107: moon 1024 x 512, Earth 128 x 64
#   res/surface-medium.pack  DATAPACK 108: moon 2048 x 1024, Earth 256 x 128
#   res/surface-high.pack    DATAPACK 109: moon 4096 x 2048, Earth 512 x 256
# Builds datapack in BUILD/native (default: build), works in BUILD/packs,
# checks the packs with `datapack verify` and leaves PNG previews there, in the
# colours the saver shows on screen.
#
# usage: tools/make-packs.sh [BUILD]
# needs: cmake, ninja, g++, djpeg and cjpeg (libjpeg-turbo-progs), ImageMagick.
#
# Colours: the decoder delivers B, G, R and the saver uploads the lunar map and
# the glow as GL_RGB (the Earth map as GL_BGR_EXT), so those two are stored
# with red and blue exchanged to show their true colours on screen.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build="$root/$build" ;; esac
tree="$build/native"
work="$build/packs"
res="$root/res"
assets="$root/../shared/assets"
[ -n "${TAVRIN_ASSETS:-}" ] && assets=$TAVRIN_ASSETS
for map in moon-4096x2048.jpg earth-2048x1024.jpg; do
  [ -f "$assets/$map" ] || { echo "make-packs: $assets/$map is missing (set TAVRIN_ASSETS)" >&2; exit 1; }
done

[ -f "$tree/CMakeCache.txt" ] || cmake -S "$root" -B "$tree" -G Ninja >/dev/null
cmake --build "$tree" --target datapack
datapack="$tree/datapack"
mkdir -p "$work"

# Baseline, 4:4:4, optimised Huffman tables: SOF0 with three 1 x 1
# components, one DQT segment per table, four DHT tables, one scan, no DRI.
encode() { # encode IN.ppm QUALITY OUT.jpg
  cjpeg -sample 1x1 -baseline -optimize -quality "$2" "$1" >"$3"
}

# scale IN.ppm WIDTH HEIGHT OUT.ppm [swap]: Lanczos down-scaling; "swap"
# exchanges red and blue.
scale() {
  swap=""
  [ "${5:-}" = swap ] && swap="-separate -swap 0,2 -combine"
  if [ "$(identify -format '%wx%h' "$1")" = "$2x$3" ]; then
    resize=""
  else
    resize="-filter Lanczos -resize $2x$3!"
  fi
  # shellcheck disable=SC2086
  convert "$1" $resize $swap -depth 8 "ppm:$4"
}

djpeg -pnm "$assets/moon-4096x2048.jpg" >"$work/moon-source.ppm"
djpeg -pnm "$assets/earth-2048x1024.jpg" >"$work/earth-source.ppm"

# Qualities chosen so that each picture lands near its planned size.
for entry in 4096x2048:85 2048x1024:91 1024x512:89; do
  size=${entry%:*} quality=${entry#*:}
  scale "$work/moon-source.ppm" "${size%x*}" "${size#*x}" "$work/moon-$size.ppm" swap
  encode "$work/moon-$size.ppm" "$quality" "$work/moon-$size.jpg"
done
for entry in 512x256:84 256x128:81 128x64:78; do
  size=${entry%:*} quality=${entry#*:}
  scale "$work/earth-source.ppm" "${size%x*}" "${size#*x}" "$work/earth-$size.ppm"
  encode "$work/earth-$size.ppm" "$quality" "$work/earth-$size.jpg"
done

# The sun glow: a round, warm glow, white in the middle. Per channel a bright
# core exp(-(d/24)^2) plus a halo (1 - (d/116)^2)^3 that reaches pure black 12
# pixels inside the square's edge, weighted per channel (red, green, blue):
# core 1.0, 0.97, 0.85 and halo 1.0, 0.8, 0.5. The frame multiplies it by
# (1, 1, 0.8) and adds it to the picture. Channels are written blue first:
# red and blue exchanged, as for the lunar map.
distance='hypot(i-127.5,j-127.5)'
glow() { # glow CORE HALO: the -fx expression of one channel
  echo "kc=exp(-($distance/24)^2); kr=$distance/116; kh=kr<1 ? (1-kr*kr)^3 : 0; min(1, $1*kc + $2*kh)"
}
convert -size 256x256 xc:black \
  \( +clone -fx "$(glow 0.85 0.5)" \) \( -clone 0 -fx "$(glow 0.97 0.8)" \) \( -clone 0 -fx "$(glow 1.0 1.0)" \) \
  -delete 0 -colorspace gray -combine -depth 8 "ppm:$work/sunglow.ppm"
encode "$work/sunglow.ppm" 95 "$work/sunglow.jpg"

"$datapack" build "$res/sunglow.pack" "$work/sunglow.jpg"
"$datapack" build "$res/surface-low.pack" "$work/moon-1024x512.jpg" "$work/earth-128x64.jpg"
"$datapack" build "$res/surface-medium.pack" "$work/moon-2048x1024.jpg" "$work/earth-256x128.jpg"
"$datapack" build "$res/surface-high.pack" "$work/moon-4096x2048.jpg" "$work/earth-512x256.jpg"
"$datapack" verify "$res/sunglow.pack" "$res/surface-low.pack" "$res/surface-medium.pack" "$res/surface-high.pack"

# Previews through the saver's own decoder, as the screen shows them.
stable="-strip -define png:exclude-chunks=date,time"
preview() { # preview PACK IMAGE NAME [swap]
  "$datapack" decode "$1" "$work/$3.bmp" --image "$2" >/dev/null
  swap=""
  [ "${4:-}" = swap ] && swap="-separate -swap 0,2 -combine"
  # shellcheck disable=SC2086
  convert "$work/$3.bmp" $swap $stable "$work/$3.png"
}
preview "$res/sunglow.pack" 1 sunglow swap
for pack in low medium high; do
  preview "$res/surface-$pack.pack" 1 "moon-$pack" swap
  preview "$res/surface-$pack.pack" 2 "earth-$pack"
done
echo "make-packs: previews in $work"
