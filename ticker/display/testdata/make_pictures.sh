#!/usr/bin/env bash
# Makes the pictures of the wallpaper tests (described in README beside this script) with
# ImageMagick: bash make_pictures.sh [folder] (default: this folder).
set -euo pipefail
out=${1:-$(cd "$(dirname "$0")" && pwd)}
cd "$out"
convert -size 800x600 xc:red -fill blue -draw "rectangle 0,0 9,9" wall800.gif
convert -size 32x48 xc:red -size 32x48 xc:blue +append -fill lime -draw "rectangle 0,0 7,7" halves.png
convert halves.png halves.gif
convert halves.png -type TrueColor BMP3:halves.bmp
convert halves.png -quality 98 -sampling-factor 1x1 halves.jpg
rm halves.png
# A GIF header that promises 800 x 600, then text instead of picture data.
printf 'GIF89a\x20\x03\x58\x02garbage that is no picture at all' >corrupt.gif
