#!/bin/sh
# Redraws the catalogue's pictures, its download animation and its icon in this folder. The build
# embeds the files as they are committed; run this only after changing make_pictures.py or
# avi_rle8.py, and commit the output with them.
# Needs python3, ImageMagick's convert (Debian: imagemagick) and the IPA Gothic fonts (Debian:
# fonts-ipafont-gothic).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
for tool in python3 convert; do
  command -v "$tool" >/dev/null 2>&1 || { echo "make_pictures.sh: $tool is missing" >&2; exit 1; }
done
for font in IPAGothic IPAPGothic; do
  convert -list font | grep -q "Font: $font\$" || { echo "make_pictures.sh: font $font is missing" >&2; exit 1; }
done
exec python3 "$here/make_pictures.py" "$here"
