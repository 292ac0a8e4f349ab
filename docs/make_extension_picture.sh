#!/bin/bash
# Makes the README's picture of the browser extension's context menu, docs/extension-menu.png: the
# extension (packed from companion/extension/) loaded into Debian's Chromium on a virtual X server,
# the sample news page of the demonstration open (from the local test server), the menu of a link opened with a right click
# and the extension's submenu with the keyboard. Run by hand after a change to the extension's
# menus or icon.
#
#   docs/make_extension_picture.sh
#
# Needs chromium, chromium-l10n (the browser's Japanese texts), xvfb, xdotool and ImageMagick.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
for tool in chromium xvfb-run xdotool import python3; do
  command -v "$tool" >/dev/null 2>&1 || { echo "make_extension_picture.sh: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$root/companion/extension/pack.py" "$work/out"
# The page comes from the local test server, as a page on the web would.
python3 "$root/tools/http_test_server.py" --root "$root/tools/demo" --port-file "$work/port" --lifetime 120 \
  >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(head -n 1 "$work/port")

cat >"$work/shoot.sh" <<SHOOT
set -eu
LANG=ja_JP.UTF-8 LANGUAGE=ja chromium --no-sandbox --test-type --disable-gpu --disable-quic --no-first-run \\
  --disable-background-networking --disable-component-update --disable-sync --disable-features=Translate \\
  --user-data-dir="$work/profile" --load-extension="$work/out/zellora-extension" \\
  --window-position=0,0 --window-size=800,560 --lang=ja "http://127.0.0.1:$port/files/news_utf8.html" \\
  >"$work/chromium.log" 2>&1 &
browser=\$!
sleep 8
# A right click on the second headline's link; the extension's entries sit in a submenu named after
# it, the second item from the bottom of a link's menu.
xdotool mousemove 160 196 click 3
sleep 1.5
xdotool key Up Up Right
sleep 1.5
import -window root "$work/shot.png"
kill \$browser
SHOOT
xvfb-run -a -s "-screen 0 800x560x24" bash "$work/shoot.sh"
convert "$work/shot.png" -crop 800x485+0+0 +repage -strip "$root/docs/extension-menu.png"
echo "wrote $root/docs/extension-menu.png"
