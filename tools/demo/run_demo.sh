#!/bin/bash
# The ticker at work on this machine alone: the local HTTP server serves the sample pages of this
# folder (Shift_JIS, EUC-JP, UTF-8), a Wine prefix of the demonstration's own holds a URL list of
# those pages with the bar mode, and Zellora.exe runs in it. The user's own prefix and settings
# are never touched.
#
#   run_demo.sh BUILD_DIR            on the current X display, or under a virtual one when there is
#                                    none; then it waits for the first headline, saves screenshots
#                                    of the bar and of the sample flash and prints where they are
#   run_demo.sh BUILD_DIR --check    the same, and exit 1 when the bar shows no headline pixels
#   run_demo.sh BUILD_DIR --stop     end the ticker, the server and the virtual X server
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: run_demo.sh BUILD_DIR [--check|--stop]}" && pwd)
mode=${2:-}
# ZELLORA_DEMO_HOME puts the prefix elsewhere (docs/make_pictures.sh keeps one of its own).
export ZELLORA_WINE_HOME="${ZELLORA_DEMO_HOME:-$build/wine-demo}"
envsh="$root/cmake/wine-env.sh"
home="$ZELLORA_WINE_HOME"
mkdir -p "$home"

stop_all() {
  if [ -f "$home/server.pid" ]; then kill "$(cat "$home/server.pid")" 2>/dev/null || true; rm -f "$home/server.pid"; fi
  "$envsh" stop >/dev/null 2>&1 || true
}
if [ "$mode" = --stop ]; then
  stop_all
  echo "== the demonstration has ended"
  exit 0
fi

use_display=0
if [ -n "${DISPLAY:-}" ] && [ "$mode" != --check ]; then
  use_display=1
  export ZELLORA_USE_DISPLAY=1
fi

# A second run starts afresh.
stop_all
"$envsh" prepare >/dev/null

# The sample pages, on a free port of 127.0.0.1.
rm -f "$home/server.port"
setsid python3 "$root/tools/http_test_server.py" --port 0 --port-file "$home/server.port" \
  --root "$here" --record "$home/requests.log" --lifetime 86400 --idle 86400 \
  >"$home/server.log" 2>&1 </dev/null &
echo $! >"$home/server.pid"
for _ in $(seq 100); do [ -s "$home/server.port" ] && break; sleep 0.1; done
port=$(head -1 "$home/server.port")

# The settings: the first run done, the display on, the bar at its fastest, registration order,
# one second between pages, and the three sample pages in the URL list. Written as a UTF-16 .reg file, the
# one form in which Wine's regedit takes Japanese text.
python3 - "$home/demo.reg" "$port" <<'PY'
import sys
path, port = sys.argv[1], sys.argv[2]
key = r"HKEY_CURRENT_USER\Software\HOSHIRAI\Zellora"
pages = [("星雷タイムズ", "news_sjis.html"), ("デモ経済新聞", "news_eucjp.html"),
         ("テックウォッチ", "news_utf8.html")]
lines = ["Windows Registry Editor Version 5.00", "", f"[-{key}]", "", f"[{key}]",
         '"bSetup"=dword:00000001', '"bOnline"=dword:00000001', "", f"[{key}\\Option]",
         '"Howto"=dword:00000000', '"Order"=dword:00000000', '"loopCount"=dword:00000000',
         '"Sleep"=dword:00000000', '"Speed"=dword:00000000', '"bRegExplorer"=dword:00000001', ""]
for slot, (title, name) in enumerate(pages):
    lines += [f"[{key}\\URL_List\\URL{slot:08X}]", f'"Title"="{title}"',
              f'"URL"="http://127.0.0.1:{port}/page?file={name}"', '"REFERRER"=""',
              '"Filter"=dword:00000014', ""]
with open(path, "w", encoding="utf-16") as f:
    f.write("\r\n".join(lines) + "\r\n")
PY
regfile=$("$envsh" run winepath -w "$home/demo.reg" 2>/dev/null)
"$envsh" run wine regedit /S "$regfile" >/dev/null 2>&1

# A ticker left over from an earlier run would be found first by the commands below.
"$envsh" run wineserver -k >/dev/null 2>&1 || true
"$envsh" prepare >/dev/null
log="$home/zellora.log"
setsid "$envsh" run wine "$build/ticker/Zellora.exe" >"$log" 2>&1 </dev/null &
echo "== Zellora.exe started; the sample pages are served on http://127.0.0.1:$port/"

wintool() { "$envsh" exec "$build/tools/wintool.exe" "$@"; }
if ! wintool wait "__@ZELLORA@__" 30000 >/dev/null; then
  echo "== Zellora.exe shows no main window after 30 s (its output: $log)"
  exit 1
fi

if [ "$use_display" = 1 ]; then
  echo "== the ticker runs on $DISPLAY; stop it with: bash tools/demo/run_demo.sh $build --stop"
  exit 0
fi

# Without a display of the user's: wait for the first headline in the bar (its yellow text,
# RGB 255, 232, 64, in the bottom 20 rows of the screen), then take the pictures.
shots="$build/demo-shots"
mkdir -p "$shots"
read -r width height < <("$envsh" run xdotool getdisplaygeometry 2>/dev/null || echo "1280 1024")
bar_has_text() {
  "$envsh" run import -window root "$shots/bar-screen.png" >/dev/null 2>&1 || return 1
  convert "$shots/bar-screen.png" -crop "${width}x20+0+$((height - 20))" +repage "$shots/bar.png"
  convert "$shots/bar.png" -format %c histogram:info:- | grep -qi "#FFE840"
}
found=0
for _ in $(seq 60); do
  if bar_has_text; then found=1; break; fi
  sleep 0.5
done
if [ "$found" = 1 ]; then
  # The line comes in from the right edge: the picture waits until the headlines reach the
  # bar's left third (about 20 s at the fastest speed).
  for _ in $(seq 60); do
    bar_has_text || true
    convert "$shots/bar.png" -crop "$((width / 3))x20+0+0" +repage -format %c histogram:info:- 2>/dev/null |
      grep -qi "#FFE840" && break
    sleep 0.5
  done
  echo "== the bar shows the first headlines: $shots/bar.png (whole screen: $shots/bar-screen.png)"
else
  echo "== no headline in the bar after 30 s (the ticker's output: $log, the server's: $home/server.log)"
fi

# The sample flash (menu command 32776) shows in the top-left corner.
wintool post "__@ZELLORA@__" 273 32776 0 >/dev/null || true
sleep 1.5
"$envsh" run import -window root "$shots/flash-screen.png" >/dev/null 2>&1 || true
convert "$shots/flash-screen.png" -crop "${width}x120+0+0" +repage "$shots/flash.png" 2>/dev/null || true
echo "== the sample flash: $shots/flash.png"
echo "== Zellora.exe keeps running under the virtual X server; stop everything with:"
echo "   bash tools/demo/run_demo.sh $build --stop"
if [ "$mode" = --check ]; then
  stop_all
  [ "$found" = 1 ] || exit 1
fi
