#!/bin/sh
# Draws the toolbar, status bar and toolbox pictures as 32-bit BMP files with alpha
# (ImageMagick). Run from the repository root: sh ui/res/make-bar-pictures.sh
set -e
out=ui/res/bars
mkdir -p "$out"

# pic NAME SIZE DRAW-ARGUMENTS...: a transparent square with the drawing on it.
pic() {
  name=$1
  size=$2
  shift 2
  convert -size "${size}x${size}" xc:none -strokewidth 1 "$@" \
    -define bmp:format=bmp4 -type TrueColorAlpha "BMP:$out/$name.bmp"
}

# Toolbar, 16 x 16.
newfile() { pic "$1" 16 -fill "$2" -stroke "$3" -draw 'polygon 2,1 10,1 14,5 14,14 2,14' \
  -fill none -draw 'polyline 10,1 10,5 14,5'; }
newfile new-disabled '#E0E0E0' '#909090'
newfile new '#FFFFFF' '#303030'
pic open 16 -fill '#E8C060' -stroke '#705010' -draw 'polygon 1,3 6,3 7,5 14,5 14,14 1,14' \
  -fill '#F8D880' -draw 'polygon 3,8 15,8 13,14 1,14'
pic save 16 -fill '#3060B0' -stroke '#102050' -draw 'rectangle 1,1 14,14' \
  -fill white -stroke none -draw 'rectangle 4,2 11,7' -fill '#C0C0C0' -draw 'rectangle 5,10 10,14'
pic paste 16 -fill '#B08040' -stroke '#604010' -draw 'rectangle 2,2 12,14' \
  -fill white -stroke '#303030' -draw 'rectangle 6,6 14,15' -fill '#808080' -stroke none -draw 'rectangle 5,1 9,3'
pic copy 16 -fill white -stroke '#303030' -draw 'rectangle 1,1 9,11' -draw 'rectangle 6,4 14,14'
pic cut 16 -fill none -stroke '#303030' -draw 'line 4,1 10,10' -draw 'line 11,1 5,10' \
  -stroke '#C02020' -draw 'circle 4,12 4,14' -draw 'circle 11,12 11,14'
pic undo 16 -fill none -stroke '#2050A0' -strokewidth 2 -draw 'arc 3,4 14,14 180,360' \
  -strokewidth 1 -fill '#2050A0' -draw 'polygon 0,8 6,8 3,12'
pic redo 16 -fill none -stroke '#2050A0' -strokewidth 2 -draw 'arc 1,4 12,14 180,360' \
  -strokewidth 1 -fill '#2050A0' -draw 'polygon 9,8 15,8 12,12'
pic zoom-in 16 -fill '#D0E8FF' -stroke '#303030' -draw 'circle 6,6 6,1' -strokewidth 2 -draw 'line 10,10 14,14' \
  -strokewidth 1 -draw 'line 4,6 8,6' -draw 'line 6,4 6,8'
pic zoom-out 16 -fill '#D0E8FF' -stroke '#303030' -draw 'circle 6,6 6,1' -strokewidth 2 -draw 'line 10,10 14,14' \
  -strokewidth 1 -draw 'line 4,6 8,6'
pic view-normal 16 -stroke '#303030' -fill '#C0C0C0' -draw 'rectangle 1,1 14,14' -stroke none \
  -fill '#E04040' -draw 'rectangle 2,2 7,7' -fill '#40A040' -draw 'rectangle 8,2 13,7' \
  -fill '#4060E0' -draw 'rectangle 2,8 7,13' -fill '#F0F0F0' -draw 'rectangle 8,8 13,13'
pic view-color 16 -stroke '#303030' -fill '#E04040' -draw 'rectangle 1,1 14,14' -stroke none \
  -fill '#40A040' -draw 'rectangle 8,2 13,13' -fill '#4060E0' -draw 'rectangle 2,8 13,13'
pic view-alpha 16 -stroke '#303030' -fill white -draw 'rectangle 1,1 14,14' -stroke none \
  -fill black -draw 'polygon 2,13 13,2 13,13'

# Status bar panes, 12 x 12.
pic status-color 12 -fill '#E04040' -stroke '#303030' -draw 'circle 4,4 4,1' \
  -fill '#40A040' -draw 'circle 8,4 8,1' -fill '#4060E0' -draw 'circle 6,8 6,5'
pic status-pixel 12 -fill none -stroke '#303030' -draw 'rectangle 1,1 10,10' \
  -fill '#303030' -draw 'rectangle 4,4 7,7'
pic status-geometry 12 -fill none -stroke '#303030' -draw 'line 0,11 11,0' \
  -draw 'line 0,11 4,11' -draw 'line 0,11 0,7'

# Toolbox tools, 20 x 20.
pic tool-select 20 -fill none -stroke '#303030' -draw 'stroke-dasharray 2 2 rectangle 2,4 17,15'
pic tool-wand 20 -fill none -stroke '#604020' -strokewidth 2 -draw 'line 3,17 12,8' \
  -strokewidth 1 -fill '#F0C020' -stroke '#806000' -draw 'polygon 14,2 15,5 18,6 15,7 14,10 13,7 10,6 13,5'
pic tool-move 20 -fill '#303030' -stroke none -draw 'rectangle 9,3 10,16' -draw 'rectangle 3,9 16,10' \
  -draw 'polygon 9.5,0 13,4 6,4' -draw 'polygon 9.5,19 13,15 6,15' -draw 'polygon 0,9.5 4,6 4,13' -draw 'polygon 19,9.5 15,6 15,13'
pic tool-picker 20 -fill none -stroke '#303030' -strokewidth 2 -draw 'line 3,16 12,7' \
  -strokewidth 1 -fill '#505050' -draw 'polygon 11,5 14,2 17,5 14,8'
pic tool-pencil 20 -fill '#F0C040' -stroke '#604000' -draw 'polygon 14,2 18,6 7,17 3,13' \
  -fill '#303030' -draw 'polygon 3,13 7,17 2,18'
pic tool-brush 20 -fill '#B08040' -stroke '#604010' -draw 'polygon 15,1 18,4 11,11 8,8' \
  -fill '#303030' -stroke none -draw 'polygon 8,9 10,11 7,17 2,18 3,13'
pic tool-gradient 20 -stroke '#303030' -fill 'gradient:' -draw 'rectangle 2,4 17,15' \
  -size 14x10 gradient:black-white -rotate 90 -rotate -90 -geometry +3+5 -composite
pic tool-fill 20 -fill '#E0E0E0' -stroke '#303030' -draw 'polygon 3,9 9,3 15,9 9,15' \
  -fill '#2060D0' -stroke none -draw 'polygon 15,9 18,14 16,17 14,14'
pic tool-eraser 20 -fill '#F09090' -stroke '#703030' -draw 'polygon 2,13 10,5 17,12 11,18 7,18' \
  -fill white -draw 'polygon 2,13 6,9 13,16 11,18 7,18'
pic tool-text 20 -fill '#303030' -stroke none -draw 'rectangle 3,2 16,5' -draw 'rectangle 8,2 11,17' \
  -draw 'rectangle 6,15 13,17'
pic tool-rectangle 20 -fill '#90B0E0' -stroke '#303030' -draw 'rectangle 2,4 17,15'
pic tool-ellipse 20 -fill '#90B0E0' -stroke '#303030' -draw 'ellipse 9.5,9.5 8,6 0,360'

# Colour widget buttons, 13 x 13: reset (hot, normal) and swap (hot, normal).
reset() { pic "$1" 13 -fill white -stroke "$2" -draw 'rectangle 4,4 11,11' \
  -fill black -draw 'rectangle 1,1 7,7'; }
reset reset-hot '#2050A0'
reset reset '#303030'
swap() { pic "$1" 13 -fill none -stroke "$2" -draw 'arc 1,1 19,19 180,270' -fill "$2" \
  -draw 'polygon 0,6 5,6 2.5,10' -draw 'polygon 6,0 6,5 10,2.5'; }
swap swap-hot '#2050A0'
swap swap '#303030'
