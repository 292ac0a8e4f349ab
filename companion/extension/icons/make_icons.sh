#!/bin/sh
# Redraws the browser extension's icons in this folder. The extension packs the files as they are
# committed; run this only after changing make_icons.py, and commit its output with it.
# Needs python3 and ImageMagick's convert (Debian: imagemagick).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
for tool in python3 convert; do
  command -v "$tool" >/dev/null 2>&1 || { echo "make_icons.sh: $tool is missing" >&2; exit 1; }
done
exec python3 "$here/make_icons.py" "$here"
