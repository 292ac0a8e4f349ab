#!/bin/bash
# The ticker and its dialogs at 96, 144 and 192 DPI under Wine, for looking at: each DPI in a Wine
# home of its own (BUILD_DIR/wine-dpiN: its prefix's "LogPixels" set to N, Wine's theme on), the
# demonstration's ticker on its sample pages (tools/demo/run_demo.sh).
#
#   ticker/display/testdata/dpi_pictures.sh [BUILD_DIR] [OUT_DIR] [DPI...]
#                                   (default build/win64, BUILD_DIR/dpi-pictures, 96 144 192)
#
# It writes bar-N.png, flash-N.png, the same after a DPI change announced to the running ticker
# (WM_DPICHANGED, as a per-monitor aware window gets it on another monitor or another scaling:
# bar-N-to-M.png; flash-N-to-M-shown.png, the bulletin on show redrawn; flash-N-to-M.png, its title
# sent anew), and the dialogs (options, registration, selection, the help
# and about boxes, the catalogue, the download dialog), and prints the bar's and the flash
# window's heights and the heights of their text measured on the pictures.
set -euo pipefail

root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
out=${2:-$build/dpi-pictures}
shift $(($# > 2 ? 2 : $#))
dpis=("$@")
[ ${#dpis[@]} -gt 0 ] || dpis=(96 144 192)
mkdir -p "$out"
out=$(cd "$out" && pwd)
envsh="$root/cmake/wine-env.sh"
unset DISPLAY ZELLORA_USE_DISPLAY

wintool() { "$envsh" exec "$build/tools/wintool.exe" "$@" 2>/dev/null | tr -d '\r'; }
shoot() { "$envsh" run import -window root "$1" >/dev/null 2>&1; }
crop() { convert "$1" -crop "$(($5 - $3))x$(($6 - $4))+$3+$4" +repage -strip "$2"; }
# The bounding box "WIDTH HEIGHT" of the pixels of one colour in a picture.
extent() {
  convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -trim -format '%w %h' info: 2>/dev/null
}
# The ticker's caption-less windows: "HWND LEFT TOP RIGHT BOTTOM VISIBLE" each.
ticker_windows() {
  local pid
  pid=$(wintool find _ZELL_DIALOG_ | cut -d' ' -f2)
  wintool windows "$pid" | awk '$4 == "#32770" && NF == 4 { print $1 }' | while read -r w; do
    echo "$w $(wintool rect "#0x$w")"
  done
}
# The first line a lookup prints, asked again for up to 4 s (a loaded machine answers late).
first_of() {
  local line
  for _ in $(seq 20); do
    line=$("$@" | head -1)
    [ -n "$line" ] && { echo "$line"; return 0; }
    sleep 0.2
  done
  echo "no answer from $*" >&2
  return 1
}
bar_window() { ticker_windows | awk -v h="$height" '$5 == h && $3 > 100 { print; exit }'; }
flash_window() { ticker_windows | awk '$2 == 0 && $3 == 0 { print; exit }'; }
# Waits for the sample flash's title (white at the top of the screen: it shows from 1 s after the
# command on, later while the ticker is in a fetch) and for the whole of it to be drawn.
flash_title() {
  wintool waitpixel 255 255 255 0 60 15000 >/dev/null || echo "   (no flash title within 15 s)" >&2
  sleep 0.2
}
# A window's picture: wait for a visible window whose title begins with TITLE, shoot, crop.
window_shot() {
  local title=$1 file=$2 w r
  for _ in $(seq 100); do
    w=$(wintool windows | iconv -f CP932 -t UTF-8 |
      awk -v t="$title" '$3 == 1 && index(substr($0, index($0, $4) + length($4) + 1), t) == 1 { print $1; exit }')
    [ -n "$w" ] && break
    sleep 0.2
  done
  [ -n "$w" ] || { echo "no window \"$title\"" >&2; return 1; }
  sleep 1.5
  r=$(wintool rect "#0x$w")
  # A window that closed meanwhile (the download dialog of a short test) has no rectangle.
  [ "$(wc -w <<<"$r")" -ge 4 ] || { echo "window \"$title\" closed before its picture" >&2; return 1; }
  shoot "$out/screen.png"
  # shellcheck disable=SC2086
  crop "$out/screen.png" "$file" ${r% *}
  echo "   $(basename "$file"): ${r% *}"
  last_window=$w
}

# Whatever happens, the demonstration of the DPI being pictured does not outlive the script.
trap 'bash "$root/tools/demo/run_demo.sh" "$build" --stop >/dev/null 2>&1' EXIT

for dpi in "${dpis[@]}"; do
  home="$build/wine-dpi$dpi"
  export ZELLORA_WINE_HOME="$home" ZELLORA_DEMO_HOME="$home"
  "$envsh" prepare >/dev/null
  "$envsh" run wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  # The system DPI is read when the Wine server starts.
  "$envsh" stop >/dev/null
  bash "$root/tools/demo/run_demo.sh" "$build" >"$home/demo-run.log" 2>&1 || { cat "$home/demo-run.log"; exit 1; }
  read -r width height < <("$envsh" run xdotool getdisplaygeometry)
  echo "== $dpi DPI ($width x $height)"

  # The bar: its window, and its text once the headlines fill it.
  read -r bar bl bt br bb _ < <(first_of bar_window)
  sleep 6
  shoot "$out/screen.png"
  crop "$out/screen.png" "$out/bar-$dpi.png" 0 $((height - 3 * (bb - bt))) 900 "$height"
  crop "$out/screen.png" "$out/bar-strip.png" 0 "$bt" "$width" "$bb"
  echo "   bar: $bl $bt $br $bb, $((bb - bt)) pixels high; its text (yellow) $(extent "$out/bar-strip.png" '#FFE840')"

  # The sample flash: its title shows from 1 s on.
  wintool post "__@ZELLORA@__" 273 32776 0 >/dev/null
  flash_title
  read -r flash fl ft fr fb _ < <(first_of flash_window)
  shoot "$out/screen.png"
  crop "$out/screen.png" "$out/flash-$dpi.png" $((width / 2 - 300)) 0 $((width / 2 + 300)) "$fb"
  echo "   flash: $fl $ft $fr $fb, $((fb - ft)) pixels high; its title (white) $(extent "$out/flash-$dpi.png" '#FFFFFF')"

  # Another DPI announced to both windows while they show (the flash's title again after 1.3 s).
  to=$((dpi == 96 ? 144 : 96))
  sleep 3.5  # the flash is on its lines by now
  wintool send "#0x$bar" $((0x2E0)) $((to << 16 | to)) 0 >/dev/null
  wintool send "#0x$flash" $((0x2E0)) $((to << 16 | to)) 0 >/dev/null
  sleep 0.5
  read -r _ bl bt br bb _ < <(first_of bar_window)
  read -r _ fl ft fr fb _ < <(first_of flash_window)
  shoot "$out/screen.png"
  crop "$out/screen.png" "$out/bar-$dpi-to-$to.png" 0 $((height - 3 * (bb - bt))) 900 "$height"
  crop "$out/screen.png" "$out/bar-strip.png" 0 "$bt" "$width" "$bb"
  # The bulletin on show at the change, drawn again at the new size (a title or a line).
  crop "$out/screen.png" "$out/flash-$dpi-to-$to-shown.png" $((width / 2 - 300)) 0 $((width / 2 + 300)) "$fb"
  echo "   after WM_DPICHANGED to $to: bar $((bb - bt)) pixels high, its text $(extent "$out/bar-strip.png" '#FFE840');" \
    "flash $((fb - ft)) pixels high"
  # The title measured again, as before the change: the sample sent anew starts with it, a second
  # later (the line on show stays until then).
  wintool post "__@ZELLORA@__" 273 32776 0 >/dev/null
  sleep 1.1
  flash_title
  shoot "$out/screen.png"
  crop "$out/screen.png" "$out/flash-$dpi-to-$to.png" $((width / 2 - 300)) 0 $((width / 2 + 300)) "$fb"
  echo "   the flash title after the change (white) $(extent "$out/flash-$dpi-to-$to.png" '#FFFFFF')"

  # The main window's help and about boxes.
  wintool post "__@ZELLORA@__" 273 32774 0 >/dev/null
  window_shot " Zellora ﾍﾙﾌﾟ" "$out/help-$dpi.png"
  wintool post "#0x$last_window" 273 1 0 >/dev/null
  wintool post "__@ZELLORA@__" 273 32772 0 >/dev/null
  window_shot " Zellora のﾊﾞｰｼﾞｮﾝ情報" "$out/about-$dpi.png"
  wintool post "#0x$last_window" 273 1 0 >/dev/null
  port=$(head -1 "$home/server.port")
  wintool post "__@ZELLORA@__" 16 0 0 >/dev/null
  wintool gone "__@ZELLORA@__" 10000 >/dev/null || true

  # The dialogs on their own, on a key that holds the demonstration's list.
  export ZELLORA_PREVIEW_ROOT='HKEY_CURRENT_USER\Software\HOSHIRAI\Zellora'
  preview="$build/ticker/dialog_preview.exe"
  setsid "$envsh" run wine "$preview" option >/dev/null 2>&1 </dev/null &
  window_shot " オプション設定" "$out/options-$dpi.png"
  wintool post "#0x$last_window" 273 1034 0 >/dev/null  # its help button
  window_shot " Zellora ｵﾌﾟｼｮﾝ設定 ﾍﾙﾌﾟ" "$out/options-help-$dpi.png"
  wintool post "#0x$last_window" 273 2 0 >/dev/null
  sleep 0.5
  wintool post " オプション設定" 273 2 0 >/dev/null
  setsid "$envsh" run wine "$preview" regist >/dev/null 2>&1 </dev/null &
  window_shot " URL登録" "$out/url-regist-$dpi.png"
  wintool post "#0x$last_window" 273 2 0 >/dev/null
  setsid "$envsh" run wine "$preview" select "http://127.0.0.1:$port/page?file=news_utf8.html" >/dev/null 2>&1 </dev/null &
  sleep 3
  window_shot " URL選択" "$out/url-select-$dpi.png"
  wintool post "#0x$last_window" 273 2 0 >/dev/null
  setsid "$envsh" run wine "$build/catalogue/Catalogue.exe" >/dev/null 2>&1 </dev/null &
  window_shot "HOSHIRAI オンラインカタログ" "$out/catalogue-$dpi.png"
  wintool post "#0x$last_window" 16 0 0 >/dev/null
  # The download dialog, from the catalogue's own test of a stalling download.
  setsid "$envsh" run wine "$build/catalogue/catalogue_tests.exe" \
    --gtest_filter=CatalogueDownload.CancelMidTransferRemovesThePartialFile >"$home/download-test.log" 2>&1 </dev/null &
  window_shot " ダウンロード" "$out/download-$dpi.png" || true
  sleep 3
  bash "$root/tools/demo/run_demo.sh" "$build" --stop >/dev/null 2>&1
done
rm -f "$out/screen.png" "$out/bar-strip.png"
echo "== the pictures are in $out"
