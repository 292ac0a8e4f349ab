#!/bin/bash
# Makes the README's pictures from the real programs of a Windows build under Wine, in a Wine home
# of their own (BUILD_DIR/wine-docs; the user's prefix is never touched), and writes them, cropped
# to the window or region they show, as docs/*.png.
#
#   docs/make_pictures.sh [BUILD_DIR]     (default build/win64, built with
#                                          cmake --preset win64 && cmake --build build/win64)
#
# The bar and the flash come from the demonstration (tools/demo/run_demo.sh and its sample pages),
# the tray menu from the same ticker, the dialogs from dialog_preview.exe, the desktop strip from
# desktop_preview.exe (a mock shell desktop), the catalogue page from Catalogue.exe.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
docs="$root/docs"
home="$build/wine-docs"
work="$home/shots"
envsh="$root/cmake/wine-env.sh"
export ZELLORA_WINE_HOME="$home" ZELLORA_DEMO_HOME="$home"
# The pictures are always taken on the environment's own virtual X server.
unset DISPLAY ZELLORA_USE_DISPLAY
mkdir -p "$work"

for exe in ticker/Zellora.exe ticker/dialog_preview.exe ticker/desktop_preview.exe catalogue/Catalogue.exe \
           tools/wintool.exe; do
  [ -f "$build/$exe" ] || { echo "missing $build/$exe: build the Windows tree first" >&2; exit 1; }
done

finish() { bash "$root/tools/demo/run_demo.sh" "$build" --stop >/dev/null 2>&1 || true; }
trap finish EXIT

wintool() { "$envsh" exec "$build/tools/wintool.exe" "$@" 2>/dev/null | tr -d '\r'; }
shoot() { "$envsh" run import -window root "$1" >/dev/null 2>&1; }
# crop SHOT OUT LEFT TOP RIGHT BOTTOM: the rectangle (right and bottom exclusive) as a small PNG.
crop() {
  convert "$1" -crop "$(($5 - $3))x$(($6 - $4))+$3+$4" +repage -strip "$2"
  echo "== $2 ($(identify -format '%wx%h' "$2"), $(stat -c %s "$2") bytes)"
}
# rect TITLE: "LEFT TOP RIGHT BOTTOM" of the window, once it is visible.
rect() {
  local r
  for _ in $(seq 100); do
    r=$(wintool rect "$1" || true)
    if [ -n "$r" ] && [ "${r##* }" = 1 ]; then echo "${r% *}"; return 0; fi
    sleep 0.2
  done
  echo "no window \"$1\"" >&2
  return 1
}
# A window's picture: start CMD... in the background, wait for a visible top-level window of
# CLASS whose title begins with TITLE, let it settle for PAUSE seconds, shoot, crop, close it.
window_picture() {
  local cls=$1 title=$2 pause=$3 out=$4
  shift 4
  setsid "$envsh" run "$@" >"$work/$(basename "$out" .png).log" 2>&1 </dev/null &
  local wnd="" r
  for _ in $(seq 100); do
    wnd=$(wintool windows | iconv -f CP932 -t UTF-8 |
      awk -v cls="$cls" -v title="$title" '$3 == 1 && $4 == cls && index(substr($0, index($0, cls) + length(cls) + 1), title) == 1 { print $1; exit }')
    [ -n "$wnd" ] && break
    sleep 0.2
  done
  [ -n "$wnd" ] || { echo "no window \"$title\"" >&2; return 1; }
  r=$(rect "#0x$wnd")
  if [ -n "${click_at:-}" ]; then
    # A click at (x, y) inside the window, as a user would make, then the pointer out of the way.
    read -r cl ct _ <<<"$r"
    read -r cx cy <<<"$click_at"
    sleep 0.5
    "$envsh" run xdotool mousemove $((cl + cx)) $((ct + cy)) click 1 >/dev/null
    "$envsh" run xdotool mousemove 0 $((height - 1)) >/dev/null
  fi
  sleep "$pause"
  shoot "$work/screen.png"
  # shellcheck disable=SC2086
  crop "$work/screen.png" "$out" $r
  wintool post "#0x$wnd" 16 0 0 >/dev/null || true  # WM_CLOSE
  wintool gone "#0x$wnd" 5000 >/dev/null || true
}

# --- the bar and the flash: the demonstration's ticker on its sample pages ---
bash "$root/tools/demo/run_demo.sh" "$build" >"$work/demo.log" 2>&1 || { cat "$work/demo.log"; exit 1; }
grep -q "the bar shows the first headlines" "$work/demo.log" || { cat "$work/demo.log"; exit 1; }
read -r width height < <("$envsh" run xdotool getdisplaygeometry)
# Wine shows its own tray window at the top-left corner, where the flash goes; a user's desktop
# has none (WM_CLOSE only hides it).
wintool postclass __winex11_standalone_tray 16 0 0 >/dev/null || true
# Wait until the headlines fill the left part of the bar: that part is the picture, a width a
# page shows without scaling the text down.
bar_width=880
for _ in $(seq 80); do
  shoot "$work/bar-screen.png"
  convert "$work/bar-screen.png" -crop "60x20+0+$((height - 20))" +repage "$work/bar-left.png"
  convert "$work/bar-left.png" -format %c histogram:info:- | grep -qi "#FFE840" && break
  sleep 0.5
done
crop "$work/bar-screen.png" "$docs/bar.png" 0 $((height - 20)) "$bar_width" "$height"

# The sample flash (a menu command): its title blinks, then each line shows for five seconds;
# the second line is two rows long and shows from about 13.6 s to 18.6 s.
wintool post "__@ZELLORA@__" 273 32776 0 >/dev/null
sleep 15.5
shoot "$work/flash-screen.png"
# The flash is shaped to its text: crop around what is not the black of the empty screen.
convert "$work/flash-screen.png" -crop "${width}x110+0+0" +repage "$work/flash-top.png"
read -r fw fh fx fy < <(convert "$work/flash-top.png" -trim -format '%w %h %X %Y\n' info:)
fx=${fx#+} fy=${fy#+}
crop "$work/flash-top.png" "$docs/flash.png" $((fx - 16)) 0 $((fx + fw + 16)) $((fy + fh + 10))
sleep 4  # the flash has gone

# --- the tray menu: the icon's right-click, posted as the notification area would ---
"$envsh" run xdotool mousemove $((width - 60)) $((height - 30))
wintool postchild "__@ZELLORA@__" 1102 $((0x8000)) 0 $((0x0205)) >/dev/null  # WM_APP, WM_RBUTTONUP
for _ in $(seq 50); do wintool find - "#32768" >/dev/null && break; sleep 0.1; done
menu=$(wintool find - "#32768" | cut -d' ' -f1)
r=$(rect "#0x$menu")
sleep 0.5
shoot "$work/menu-screen.png"
read -r ml mt _ <<<"$r"
# The menu and the bar under it, as the user sees them after a right-click on the icon.
crop "$work/menu-screen.png" "$docs/tray-menu.png" $((ml - 100)) $((mt - 8)) "$width" "$height"
wintool postclass "#32768" $((0x0100)) $((0x1B)) 0 >/dev/null || true  # Escape
port=$(head -1 "$home/server.port")
wintool post "__@ZELLORA@__" 16 0 0 >/dev/null || true
wintool gone "__@ZELLORA@__" 10000 >/dev/null || true

# --- the three dialogs, on a key of their own that holds the demonstration's URL list ---
preview_root='HKEY_CURRENT_USER\Software\ZelloraTest\DocsPreview'
python3 - "$home/preview.reg" "$port" "$preview_root" <<'PY'
import sys
path, port, key = sys.argv[1], sys.argv[2], sys.argv[3]
pages = [("星雷タイムズ", "news_sjis.html", "", 20), ("デモ経済新聞", "news_eucjp.html", "", 20),
         ("テックウォッチ", "news_utf8.html", "", 20),
         ("地域の話題", "news_sjis.html", "http://127.0.0.1/", 30)]
lines = ["Windows Registry Editor Version 5.00", "", f"[-{key}]", "", f"[{key}]", ""]
for slot, (title, name, referrer, filt) in enumerate(pages):
    lines += [f"[{key}\\URL_List\\URL{slot:08X}]", f'"Title"="{title}"',
              f'"URL"="http://127.0.0.1:{port}/page?file={name}"', f'"REFERRER"="{referrer}"',
              f'"Filter"=dword:{filt:08x}', ""]
with open(path, "w", encoding="utf-16") as f:
    f.write("\r\n".join(lines) + "\r\n")
PY
"$envsh" run wine regedit /S "$("$envsh" run winepath -w "$home/preview.reg" 2>/dev/null)" >/dev/null 2>&1
export ZELLORA_PREVIEW_ROOT="$preview_root"
preview="$build/ticker/dialog_preview.exe"
window_picture "#32770" " オプション設定" 1 "$docs/options.png" wine "$preview" option
# The first entry chosen, so that its fields show.
click_at="60 143" window_picture "#32770" " URL登録" 1 "$docs/url-regist.png" wine "$preview" regist
# The selection dialog's preview comes from its own download of the page.
window_picture "#32770" " URL選択" 4 "$docs/url-select.png" wine "$preview" select \
  "http://127.0.0.1:$port/page?file=news_utf8.html"

# --- the desktop strip on a mock desktop ---
setsid "$envsh" run wine "$build/ticker/desktop_preview.exe" 60000 >"$work/desktop.log" 2>&1 </dev/null &
wintool waitpixel 255 232 64 0 20 20000 >/dev/null || { echo "no strip on the mock desktop" >&2; exit 1; }
# The strip takes the right quarter of the top edge: wait until the text reaches its left end.
for _ in $(seq 80); do
  shoot "$work/desktop-screen.png"
  convert "$work/desktop-screen.png" -crop "40x20+$((width * 3 / 4))+0" +repage "$work/strip-left.png"
  convert "$work/strip-left.png" -format %c histogram:info:- | grep -qi "#FFE840" && break
  sleep 0.5
done
# A few seconds on, the page's title has made room for the first headline.
sleep 7
shoot "$work/desktop-screen.png"
# The strip and, at its left, the last icons of the row along the top.
crop "$work/desktop-screen.png" "$docs/desktop-strip.png" $((width * 3 / 4 - 460)) 0 "$width" 48
wintool post "_ZELL_DIALOG_" 16 0 0 >/dev/null || true
wintool gone "_ZELL_DIALOG_" 5000 >/dev/null || true

# --- the catalogue's first page ---
window_picture "#32770" "HOSHIRAI オンラインカタログ" 2 "$docs/catalogue.png" \
  wine "$build/catalogue/Catalogue.exe"

echo "== the pictures: $(du -cb "$docs"/*.png | tail -1 | cut -f1) bytes in $docs"
