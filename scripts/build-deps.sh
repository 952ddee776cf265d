#!/usr/bin/env bash
# Cross-builds libpng and libjpeg-turbo (6b API, no SIMD) from Debian's source packages
# into build/deps/ARCH/prefix. A finished prefix is kept and reused.
set -euo pipefail
arch=${1:?usage: build-deps.sh x86_64|i686}
top=$(cd "$(dirname "$0")/.." && pwd)
deps=$top/build/deps
prefix=$deps/$arch/prefix
stamp=$prefix/.complete
toolchain=$top/cmake/toolchain-$arch.cmake
triple=$arch-w64-mingw32
jobs=$(nproc)

[ -f "$stamp" ] && exit 0

mkdir -p "$deps/src"
fetch() { # package -> extracted folder
  local pkg=$1 dir
  dir=$(find "$deps/src" -maxdepth 1 -type d -name "$2-*" | head -n 1)
  if [ -z "$dir" ]; then
    (cd "$deps/src" && apt-get source -q "$pkg" >"$deps/src/$pkg.log" 2>&1) || {
      cat "$deps/src/$pkg.log"; echo "apt-get source $pkg failed" >&2; exit 1; }
    dir=$(find "$deps/src" -maxdepth 1 -type d -name "$2-*" | head -n 1)
  fi
  echo "$dir"
}
png_src=$(fetch libpng1.6 libpng1.6)
jpeg_src=$(fetch libjpeg-turbo libjpeg-turbo)

rm -rf "$deps/$arch"
mkdir -p "$prefix"

echo "== libpng ($arch)"
cmake -S "$png_src" -B "$deps/$arch/png" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_HARDWARE_OPTIMIZATIONS=OFF \
  -DSKIP_INSTALL_EXECUTABLES=ON -DSKIP_INSTALL_PROGRAMS=ON -Dld-version-script=OFF \
  -DZLIB_LIBRARY=/usr/$triple/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/$triple/include >"$deps/$arch/png.log" 2>&1 \
  && cmake --build "$deps/$arch/png" -j "$jobs" >>"$deps/$arch/png.log" 2>&1 \
  && cmake --install "$deps/$arch/png" >>"$deps/$arch/png.log" 2>&1 \
  || { tail -n 40 "$deps/$arch/png.log"; exit 1; }

echo "== libjpeg-turbo ($arch)"
cmake -S "$jpeg_src" -B "$deps/$arch/jpeg" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
  -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF >"$deps/$arch/jpeg.log" 2>&1 \
  && cmake --build "$deps/$arch/jpeg" -j "$jobs" >>"$deps/$arch/jpeg.log" 2>&1 \
  && cmake --install "$deps/$arch/jpeg" >>"$deps/$arch/jpeg.log" 2>&1 \
  || { tail -n 40 "$deps/$arch/jpeg.log"; exit 1; }

for f in lib/libpng16.a lib/libjpeg.a include/png.h include/jpeglib.h; do
  [ -f "$prefix/$f" ] || { echo "missing $prefix/$f after the build" >&2; exit 1; }
done
touch "$stamp"
