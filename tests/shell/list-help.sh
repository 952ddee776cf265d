#!/bin/sh
# Lists the compiled help file's topics and takes out what the help tests read: its window
# types, its strings and the keyboard page.
set -eu
chm=$1
out=$2
rm -rf "$out"
mkdir -p "$out"
chmls -n list "$chm" >"$out/topics.txt"
chmls extract "$chm" /#WINDOWS "$out/windows.bin" >/dev/null
chmls extract "$chm" /#STRINGS "$out/strings.bin" >/dev/null
chmls extract "$chm" /keyboard.html "$out/keyboard.html" >/dev/null
for f in windows.bin strings.bin keyboard.html; do
  [ -s "$out/$f" ] || { echo "missing in $chm: $f" >&2; exit 1; }
done
grep -c '^/' "$out/topics.txt"
