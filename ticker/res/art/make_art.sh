#!/bin/sh
# Redraws Zellora's icons and dialog bitmaps in this folder. The build embeds the files as they
# are committed; run this only after changing make_art.py, and commit its output with it.
# Needs python3 and ImageMagick's convert (Debian: imagemagick).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
for tool in python3 convert; do
  command -v "$tool" >/dev/null 2>&1 || { echo "make_art.sh: $tool is missing" >&2; exit 1; }
done
exec python3 "$here/make_art.py" "$here"
