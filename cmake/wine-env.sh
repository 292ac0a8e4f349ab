#!/bin/bash
# The Wine environment of one build tree: its own prefix (Japanese locale, so the ANSI code page
# is 932; Japanese fonts standing in for the usual Japanese UI faces; no pop-ups), its own virtual
# X server, and a persistent wineserver so that each test does not pay for starting one.
#
#   wine-env.sh prepare            make the prefix and start the servers (idempotent)
#   wine-env.sh exec PROG ARGS...  run a Windows program (prepares first)
#   wine-env.sh run CMD ARGS...    run any command inside the environment (wine, reg, xdotool, ...)
#   wine-env.sh stop               stop wineserver and the X server
#   wine-env.sh home               print the folder that holds the prefix (see the desktops below)
#
# ZELLORA_WINE_HOME names the folder that holds the prefix (the build tree's "wine" folder).
# ZELLORA_USE_DISPLAY=1 keeps the caller's DISPLAY instead of the private X server.
set -u

home=${ZELLORA_WINE_HOME:?ZELLORA_WINE_HOME must name the folder for the Wine prefix}
# ctest gives each test that asks for a desktop (RESOURCE_GROUPS wine_desktop:1) one of those its
# resource file lists: desktop 1 is the folder itself, desktop N the folder "<folder>-N" beside
# it, with a prefix, X server and wineserver of its own, so that tests on different desktops see
# neither each other's windows nor their named objects and can run at the same time.
case ${CTEST_RESOURCE_GROUP_0_WINE_DESKTOP:-} in
  id:1,* | "") ;;
  id:*)
    desk=${CTEST_RESOURCE_GROUP_0_WINE_DESKTOP#id:}
    home=$home-${desk%%,*}
    ;;
esac
# What runs inside names the folder itself.
export ZELLORA_WINE_HOME=$home
unset CTEST_RESOURCE_GROUP_0_WINE_DESKTOP
mkdir -p "$home"
home=$(cd "$home" && pwd)

export WINEPREFIX="$home/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
# Tests talk to servers on 127.0.0.1 only; a proxy from the environment would swallow them.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
export no_proxy=127.0.0.1

start_xvfb() {
  if [ "${ZELLORA_USE_DISPLAY:-}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
    return
  fi
  if [ -f "$home/xvfb.pid" ] && kill -0 "$(cat "$home/xvfb.pid")" 2>/dev/null && [ -f "$home/display" ]; then
    export DISPLAY=":$(cat "$home/display")"
    return
  fi
  rm -f "$home/display" "$home/xvfb.pid"
  # -displayfd lets the server pick a free display number, so build trees never collide.
  exec 9>"$home/display.tmp"
  # ZELLORA_SCREEN sets another screen size (the benchmarks measure a 1024-pixel screen).
  setsid Xvfb -displayfd 9 -screen 0 "${ZELLORA_SCREEN:-1280x1024x24}" -nolisten tcp -noreset >"$home/xvfb.log" 2>&1 </dev/null &
  echo $! >"$home/xvfb.pid"
  exec 9>&-
  for _ in $(seq 1 100); do
    [ -s "$home/display.tmp" ] && break
    sleep 0.05
  done
  tr -d '\n' <"$home/display.tmp" >"$home/display"
  rm -f "$home/display.tmp"
  export DISPLAY=":$(cat "$home/display")"
}

make_prefix() {
  [ -f "$WINEPREFIX/.zellora-ready" ] && return
  rm -rf "$WINEPREFIX"
  wineboot -i >"$home/wineboot.log" 2>&1
  # Windows open at once instead of waiting for a window manager that is not there.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # Japanese faces the programs ask for, served by the IPA fonts. A .reg file for regedit must be
  # UTF-16LE with a byte-order mark.
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for face in 'ＭＳ ゴシック' 'MS Gothic' 'ＭＳ ＵＩ ゴシック' 'MS UI Gothic' 'ＭＳ Ｐゴシック' 'MS PGothic' \
                'MS Shell Dlg' 'MS Shell Dlg 2'; do
      case "$face" in
        *Ｐ*|*PGothic|*UI*|*Shell*) printf '"%s"="IPAPGothic"\r\n' "$face" ;;
        *) printf '"%s"="IPAGothic"\r\n' "$face" ;;
      esac
    done
    printf '"ＭＳ 明朝"="IPAMincho"\r\n"MS Mincho"="IPAMincho"\r\n'
    printf '"ＭＳ Ｐ明朝"="IPAPMincho"\r\n"MS PMincho"="IPAPMincho"\r\n\r\n'
  } | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$home/fonts.reg"
  wine regedit /S "$(winepath -w "$home/fonts.reg" 2>/dev/null)" >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.zellora-ready"
}

# Visual styles: Wine draws themed controls (Common Controls 6, which the programs' manifests ask
# for) only while a theme is active in the prefix; its own "Light" theme comes with every prefix.
enable_theme() {
  [ -f "$WINEPREFIX/.zellora-theme" ] && return
  local key='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'
  wine reg add "$key" /v DllName /d 'C:\windows\resources\themes\light\light.msstyles' /f >/dev/null 2>&1
  wine reg add "$key" /v ColorName /d Blue /f >/dev/null 2>&1
  wine reg add "$key" /v SizeName /d NormalSize /f >/dev/null 2>&1
  wine reg add "$key" /v ThemeActive /d 1 /f >/dev/null 2>&1
  touch "$WINEPREFIX/.zellora-theme"
}

prepare_locked() {
  start_xvfb
  make_prefix
  enable_theme
  # A persistent server saves each program about 2.5 s of start-up; if one runs already for this
  # prefix, this one exits at once.
  wineserver -p300 >/dev/null 2>&1 </dev/null
}

prepare() {
  # flock -o: the lock's descriptor is not inherited by the Wine processes started under it,
  # which outlive this script.
  flock -o "$home/lock" "$0" prepare-locked
  start_xvfb
}

stop() {
  wineserver -k >/dev/null 2>&1
  if [ -f "$home/xvfb.pid" ]; then
    kill "$(cat "$home/xvfb.pid")" 2>/dev/null
    rm -f "$home/xvfb.pid" "$home/display"
  fi
}

cmd=${1:-}
shift || true
case "$cmd" in
  prepare) prepare ;;
  prepare-locked) prepare_locked ;;
  exec)
    prepare
    # Wine starts helper processes (services, the desktop window) that outlive the program and
    # inherit its output; if that output were ctest's pipe, ctest would wait for them. So the
    # program writes to files, which are then passed on.
    mkdir -p "$home/tmp"
    out=$(mktemp "$home/tmp/out.XXXXXX")
    err=$(mktemp "$home/tmp/err.XXXXXX")
    wine "$@" >"$out" 2>"$err"
    rc=$?
    cat "$out"
    grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'apt-get install wine32' -e '^it$' -e 'dpkg --add-architecture' -e 'execute the command' "$err" >&2
    rm -f "$out" "$err"
    exit $rc
    ;;
  run) prepare; exec "$@" ;;
  stop) stop ;;
  home) echo "$home" ;;
  *) echo "usage: wine-env.sh prepare|exec PROG ARGS|run CMD ARGS|stop|home" >&2; exit 2 ;;
esac
