#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; with "bench", also the tools the
# benchmarks measure against. Safe to run again.
set -euo pipefail

PKGS=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
      mingw-w64-tools wine wine64 xvfb xauth x11-apps imagemagick python3-pil libz-mingw-w64-dev cmake make
      googletest dpkg-dev devscripts autoconf automake libtool nasm ca-certificates fp-utils-3.2.2 locales)
if [ "${1:-}" = bench ]; then
  PKGS+=(optipng zopfli pngquant)
fi

SRC_LIST=/etc/apt/sources.list.d/vellumcraft-src.sources

need=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done

updated=0
if [ ! -f "$SRC_LIST" ]; then
  # Source entries for the suites the machine already uses, so apt-get source finds libpng and libjpeg-turbo.
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  cat > "$SRC_LIST" <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  updated=1
fi

if [ ${#need[@]} -gt 0 ] || [ $updated = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  if [ ${#need[@]} -gt 0 ]; then
    echo "installing: ${need[*]}"
    apt-get install -y -q --no-install-recommends "${need[@]}"
  fi
fi
