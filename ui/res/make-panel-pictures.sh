#!/bin/sh
# Draws the pictures of the dock's panels, of the tool panes' option buttons and of the file
# dialogs' preview pane as 32-bit BMP files with alpha (ImageMagick).
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

# Color panel, 16 x 16.
# New swatch set: a blank card with three colour dots.
newset() { pic "$1" 16 -fill "$2" -stroke "$3" -draw 'rectangle 1,2 14,13' -stroke none \
  -fill "$4" -draw 'rectangle 3,5 5,7' -fill "$5" -draw 'rectangle 7,5 9,7' -fill "$6" -draw 'rectangle 11,5 13,7'; }
newset swatches-new '#FFFFFF' '#303030' '#D03030' '#30A030' '#3050D0'
newset swatches-new-disabled '#E8E8E8' '#909090' '#B0B0B0' '#C0C0C0' '#A0A0A0'
pic swatches-load 16 -fill '#E8C060' -stroke '#705010' -draw 'polygon 1,3 6,3 7,5 14,5 14,14 1,14' \
  -stroke none -fill '#D03030' -draw 'rectangle 4,8 6,10' -fill '#30A030' -draw 'rectangle 7,8 9,10' \
  -fill '#3050D0' -draw 'rectangle 10,8 12,10'
pic swatches-save 16 -fill '#3060B0' -stroke '#102050' -draw 'rectangle 1,1 14,14' \
  -fill white -stroke none -draw 'rectangle 4,2 11,7' -fill '#D03030' -draw 'rectangle 5,3 6,5' \
  -fill '#30A030' -draw 'rectangle 7,3 8,5' -fill '#F0D020' -draw 'rectangle 9,3 10,5'
# Add a colour: a square of the colour's role with a plus sign.
addcolor() { pic "$1" 16 -fill "$2" -stroke "$3" -draw "$4" -stroke "$5" -strokewidth 2 \
  -draw 'line 12,8 12,15' -draw 'line 9,12 15,12'; }
addcolor swatches-add-primary '#202020' '#000000' 'rectangle 1,1 10,10' '#208020'
addcolor swatches-add-primary-disabled '#A0A0A0' '#808080' 'rectangle 1,1 10,10' '#B0B0B0'
addcolor swatches-add-secondary '#FFFFFF' '#404040' 'rectangle 4,4 10,10' '#208020'
addcolor swatches-add-secondary-disabled '#F0F0F0' '#A0A0A0' 'rectangle 4,4 10,10' '#B0B0B0'
# Lock palette: a padlock.
lock() { pic "$1" 16 -fill none -stroke "$2" -strokewidth 2 -draw 'arc 4,1 11,10 180,360' \
  -strokewidth 1 -fill "$3" -stroke "$2" -draw 'rectangle 2,7 13,14' -fill "$2" -draw 'rectangle 7,9 8,12'; }
lock palette-lock '#705010' '#E8C060'
lock palette-lock-disabled '#909090' '#D8D8D8'
# Project and image panel buttons, 16 x 16; the disabled ones in greys.
page() { # NAME PAPER EDGE FOLD
  pic "$1" 16 -fill "$2" -stroke "$3" -draw 'polygon 3,1 10,1 13,4 13,14 3,14' -fill "$4" -draw 'polygon 10,1 10,4 13,4'
}
page panel-new '#FFFFFF' '#404858' '#D0D8E8'
page panel-new-disabled '#F0F0F0' '#909090' '#D0D0D0'
convert ui/res/panels/panel-new.bmp -stroke '#D08000' -strokewidth 2 -draw 'line 6,8 10,8' -draw 'line 8,6 8,10' \
  -define bmp:format=bmp4 -type TrueColorAlpha "BMP:$out/panel-new.bmp"
cross() { # NAME COLOUR
  pic "$1" 16 -stroke "$2" -strokewidth 3 -draw 'line 4,4 11,11' -draw 'line 11,4 4,11'
}
cross panel-delete '#C02020'
cross panel-delete-disabled '#A0A0A0'
sheet() { # NAME PAPER EDGE INK
  pic "$1" 16 -fill "$2" -stroke "$3" -draw 'rectangle 2,1 13,14' -stroke "$4" \
    -draw 'line 4,4 11,4' -draw 'line 4,7 11,7' -draw 'line 4,10 9,10'
}
sheet panel-properties '#FFFFF0' '#404858' '#3060C0'
sheet panel-properties-disabled '#F0F0F0' '#909090' '#B0B0B0'
pic layer-duplicate 16 -fill '#C8D8F0' -stroke '#304060' -draw 'rectangle 1,1 9,9' -fill '#E8F0FF' \
  -draw 'rectangle 6,6 14,14'
pic layer-merge-down 16 -fill '#C8D8F0' -stroke '#304060' -draw 'rectangle 1,11 14,14' -stroke none \
  -fill '#207020' -draw 'polygon 4,5 11,5 7.5,9' -draw 'rectangle 6,1 9,5'
arrow() { # NAME POLYGON STEM
  pic "$1" 16 -fill '#3070D0' -stroke '#203050' -draw "polygon $2" -draw "rectangle $3"
}
arrow layer-move-forward '8,1 14,8 2,8' '6,8 10,14'
arrow layer-move-backward '8,14 14,7 2,7' '6,1 10,7'
arrow image-move-up '8,1 14,8 2,8' '6,8 10,14'
arrow image-move-down '8,14 14,7 2,7' '6,1 10,7'

# The visibility mark of the layer list, 12 x 12: an eye.
pic layer-visible 12 -fill '#FFFFFF' -stroke '#202020' -draw 'ellipse 6,6 5.5,3.5 0,360' -fill '#305080' \
  -stroke none -draw 'circle 6,6 6,8.2' -fill '#000000' -draw 'circle 6,6 6,7'

# Option buttons of the tool panes, 16 x 16: each choice plain, then as chosen, where the
# chosen picture takes the accent colours of the hot toolbox pictures.
plain='#404040'
accent='#2050A0'
# Selection shapes: marching ants around a region.
ants() { # NAME SHAPE INK FILL
  pic "$1" 16 -fill "$4" -stroke white -draw "$2" -fill none -stroke "$3" -draw "stroke-dasharray 2 2 $2"
}
ants selection-rectangular 'rectangle 1,3 14,12' "$plain" none
ants selection-rectangular-checked 'rectangle 1,3 14,12' "$accent" '#C8D8F0'
ants selection-elliptical 'ellipse 7.5,7.5 6.5,5 0,360' "$plain" none
ants selection-elliptical-checked 'ellipse 7.5,7.5 6.5,5 0,360' "$accent" '#C8D8F0'
# Rectangle and Ellipse types: solid in the main colour, an outline, an outline around the
# other colour.
shapes() { # PREFIX SHAPE
  pic "$1-solid" 16 -fill "$plain" -stroke "$plain" -draw "$2"
  pic "$1-solid-checked" 16 -fill "$accent" -stroke "$accent" -draw "$2"
  pic "$1-outline" 16 -fill none -stroke "$plain" -strokewidth 2 -draw "$2"
  pic "$1-outline-checked" 16 -fill none -stroke "$accent" -strokewidth 2 -draw "$2"
  pic "$1-filled" 16 -fill '#F0F0F0' -stroke "$plain" -strokewidth 2 -draw "$2"
  pic "$1-filled-checked" 16 -fill '#F0D060' -stroke "$accent" -strokewidth 2 -draw "$2"
}
shapes rectangle 'rectangle 2,4 13,11'
shapes ellipse 'ellipse 7.5,7.5 6,4.5 0,360'
# Gradient types: a bar shading from left to right, a disc shading from its centre.
pic gradient-linear 16 \( -size 12x8 -define gradient:direction=East gradient:"$accent"-white \) \
  -geometry +2+4 -composite -fill none -stroke "$plain" -draw 'rectangle 1,3 14,12'
pic gradient-radial 16 \( -size 13x13 radial-gradient:white-"$accent" -alpha set \
  \( -size 13x13 xc:none -fill white -draw 'circle 6,6 6,0' \) -compose DstIn -composite \) \
  -compose Over -geometry +1+1 -composite -fill none -stroke "$plain" -draw 'circle 7,7 7,0.5'

# Check boxes of the file dialogs' preview pane, 16 x 16: a small landscape for the preview
# and the chequered square of the Preview panel's button.
pic file-preview 16 -fill '#A8C8F0' -stroke '#303030' -draw 'rectangle 1,2 14,13' -stroke none \
  -fill '#F0C020' -draw 'circle 10,5 10,3.5' -fill '#409040' -draw 'polygon 2,12 6,7 9,10 11,8 13,12'
pic file-preview-chequered 16 -stroke '#404040' -fill '#F0F0F0' -draw 'rectangle 1,1 14,14' -stroke none \
  -fill '#A0A0A0' -draw 'rectangle 2,2 5,5' -draw 'rectangle 10,2 13,5' -draw 'rectangle 6,6 9,9' \
  -draw 'rectangle 2,10 5,13' -draw 'rectangle 10,10 13,13'
