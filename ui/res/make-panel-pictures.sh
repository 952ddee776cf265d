#!/bin/sh
# Draws the pictures of the dock's panels as 32-bit BMP files with alpha (ImageMagick).
# Run from the repository root: sh ui/res/make-panel-pictures.sh
set -e
out=ui/res/panels
mkdir -p "$out"

# pic NAME SIZE DRAW-ARGUMENTS...: a transparent square with the drawing on it.
pic() {
  name=$1
  size=$2
  shift 2
  convert -size "${size}x${size}" xc:none -strokewidth 1 "$@" \
    -define bmp:format=bmp4 -type TrueColorAlpha "BMP:$out/$name.bmp"
}

# Preview panel, 16 x 16.
pic preview-zoom-in 16 -fill '#E0F0FF' -stroke '#304060' -draw 'circle 6,6 6,1' -strokewidth 2 \
  -draw 'line 10,10 14,14' -strokewidth 1 -stroke '#202020' -draw 'line 4,6 8,6' -draw 'line 6,4 6,8'
pic preview-zoom-out 16 -fill '#E0F0FF' -stroke '#304060' -draw 'circle 6,6 6,1' -strokewidth 2 \
  -draw 'line 10,10 14,14' -strokewidth 1 -stroke '#202020' -draw 'line 4,6 8,6'
# Chequered background: plain square up, chequered square down.
pic preview-chequer 16 -stroke '#404040' -fill '#D8D8D8' -draw 'rectangle 1,1 14,14'
pic preview-chequer-down 16 -stroke '#404040' -fill '#F0F0F0' -draw 'rectangle 1,1 14,14' -stroke none \
  -fill '#A0A0A0' -draw 'rectangle 2,2 5,5' -draw 'rectangle 10,2 13,5' -draw 'rectangle 6,6 9,9' \
  -draw 'rectangle 2,10 5,13' -draw 'rectangle 10,10 13,13'
