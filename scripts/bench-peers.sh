#!/usr/bin/env bash
# Pictures and peer figures for the benchmarks, made outside Wine: 256x256 RGBA pictures cut
# from the test images of the libjpeg-turbo source package (fetched by the build into
# build/deps/src: two photographs and two rendered scenes), each given a rounded-square alpha
# with an edge of a few pixels; then the tools a user would pick instead run on the same
# pixels: optipng -o7 and zopflipng -m (lossless PNG size) on the RGBA picture, and pngquant
# --nofs at 256 and 16 colours (libimagequant, on one thread like the editor) on its colours
# made opaque.
#
# usage: scripts/bench-peers.sh DIR
# Writes into DIR, for each picture NAME:
#   NAME.png                        the picture, 8-bit RGBA
#   NAME.rgba                       its pixels, R, G, B, A bytes, rows top-down
#   NAME.q256.rgba, NAME.q16.rgba   pngquant's result on the opaque picture, the same way
# and peers.txt with one line per picture:
#   NAME WIDTH HEIGHT OPTIPNG-BYTES OPTIPNG-MS ZOPFLIPNG-BYTES ZOPFLIPNG-MS PNGQUANT256-MS PNGQUANT16-MS
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: bench-peers.sh DIR}
photos=$(ls -d "$top"/build/deps/src/libjpeg-turbo-*/testimages 2>/dev/null | head -n 1)
[ -d "$photos" ] || { echo "no libjpeg-turbo test images under build/deps/src; build first" >&2; exit 1; }
for tool in convert optipng zopflipng pngquant; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: scripts/install-deps.sh bench" >&2; exit 1; }
done

rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ms_now() { date +%s%N; }
elapsed_ms() { echo $(( ($(ms_now) - $1) / 1000000 )); }

# The fastest of three runs of a command, in milliseconds.
fastest_ms() {
  local best= start t
  for _ in 1 2 3; do
    start=$(ms_now)
    "$@" >/dev/null 2>&1
    t=$(elapsed_ms "$start")
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  echo "$best"
}

echo "== peers: optipng $(optipng -v | head -n 1 | awk '{print $3}'), zopflipng (zopfli $(dpkg-query -W -f='${Version}' zopfli)), pngquant $(pngquant --version | awk '{print $1}')"
: >"$out/peers.txt"
for photo in testorig.ppm nightshot_iso_100.bmp vgl_5674_0098.bmp vgl_6434_0018a.bmp; do
  name=${photo%.*}
  convert "$photos/$photo" -colorspace sRGB -resize '256x256^' -gravity center -extent 256x256 \
    \( -size 256x256 xc:black -fill white -draw 'roundrectangle 12,12 243,243 40,40' -blur 0x1 \) \
    -alpha off -compose CopyOpacity -composite -strip -depth 8 "PNG32:$out/$name.png"
  convert "$out/$name.png" -depth 8 "RGBA:$out/$name.rgba"
  convert "$out/$name.png" -alpha off -depth 8 "PNG24:$work/opaque.png"

  cp "$out/$name.png" "$work/optipng.png"
  start=$(ms_now)
  optipng -quiet -o7 "$work/optipng.png"
  optipng_ms=$(elapsed_ms "$start")
  start=$(ms_now)
  zopflipng -m -y "$out/$name.png" "$work/zopflipng.png" >/dev/null
  zopflipng_ms=$(elapsed_ms "$start")

  quant_ms=()
  for colors in 256 16; do
    quant_ms+=("$(fastest_ms env OMP_NUM_THREADS=1 pngquant --nofs --force --output "$work/q.png" "$colors" "$work/opaque.png")")
    convert "$work/q.png" -depth 8 "RGBA:$out/$name.q$colors.rgba"
  done
  echo "$name 256 256 $(stat -c %s "$work/optipng.png") $optipng_ms $(stat -c %s "$work/zopflipng.png") $zopflipng_ms ${quant_ms[*]}" \
    >>"$out/peers.txt"
done
