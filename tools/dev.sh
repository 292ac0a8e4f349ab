#!/bin/bash
# Set-up, build, test and run for a Debian 12 machine (as root, or with sudo available).
#
#   tools/dev.sh test    install what is missing, build both builds, run every test
#   tools/dev.sh run     install what is missing, build the Windows programs, start Zellora.exe
#   tools/dev.sh bench   install what is missing, build the optimised native tree, run the benchmarks
#
# Build trees: build/native (Linux, sanitizers), build/win64 (MinGW-w64, tests under Wine),
# build/native-release (benchmarks and tools).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

packages=(
  build-essential cmake ninja-build pkg-config git python3 openssl locales
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcurl4-openssl-dev clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64 libwine fonts-wine libgnutls30
  xvfb xauth xdotool x11-apps imagemagick fonts-ipafont-gothic fonts-ipafont-mincho nsis
)

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

install_deps() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    as_root apt-get update
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  fi
  # Wine takes its ANSI code page from the locale: ja_JP.UTF-8 gives code page 932.
  if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
    echo "== generating the ja_JP.UTF-8 locale"
    as_root sed -i 's/^# *ja_JP.UTF-8/ja_JP.UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
  fi
}

jobs=$(nproc)

build() {  # build <preset>
  cmake --preset "$1" >/dev/null
  cmake --build "build/$1" -j "$jobs"
}

stop_wine() {
  ZELLORA_WINE_HOME="$root/build/win64/wine" "$root/cmake/wine-env.sh" stop || true
}

cmd=${1:-}
case "$cmd" in
  test)
    install_deps
    echo "== native build"
    build native
    echo "== native tests"
    (cd build/native && ctest --output-on-failure -j "$jobs")
    echo "== Windows build"
    build win64
    echo "== Windows tests (under Wine)"
    trap stop_wine EXIT
    ZELLORA_WINE_HOME="$root/build/win64/wine" "$root/cmake/wine-env.sh" prepare
    (cd build/win64 && ctest --output-on-failure -j "$jobs")
    ;;
  run)
    install_deps
    build win64
    if [ -n "${DISPLAY:-}" ]; then
      echo "== starting Zellora.exe on $DISPLAY"
      ZELLORA_USE_DISPLAY=1 ZELLORA_WINE_HOME="$root/build/win64/wine-desktop" \
        exec "$root/cmake/wine-env.sh" exec "$root/build/win64/ticker/Zellora.exe" "${@:2}"
    fi
    echo "== no X display: starting Zellora.exe under a virtual one"
    export ZELLORA_WINE_HOME="$root/build/win64/wine-desktop"
    "$root/cmake/wine-env.sh" prepare
    # Detached, with its output in a file: a caller reading this script's output through a pipe
    # must not wait for the ticker, which keeps running.
    log="$ZELLORA_WINE_HOME/zellora.log"
    setsid "$root/cmake/wine-env.sh" run wine "$root/build/win64/ticker/Zellora.exe" "${@:2}" \
      >"$log" 2>&1 </dev/null &
    pid=$!
    # The main window is hidden; that it exists shows that start-up is done.
    if ! "$root/cmake/wine-env.sh" exec "$root/build/win64/tools/wintool.exe" wait "__@ZELLORA@__" 30000; then
      echo "== Zellora.exe shows no main window after 30 s (its output: $log)"
    fi
    shot="$root/build/win64/zellora-screenshot.png"
    "$root/cmake/wine-env.sh" run import -window root "$shot"
    echo "== screenshot: $shot"
    if kill -0 "$pid" 2>/dev/null; then
      echo "   Zellora.exe keeps running (pid $pid); stop it with:"
      echo "   ZELLORA_WINE_HOME=$ZELLORA_WINE_HOME cmake/wine-env.sh stop"
    else
      echo "   Zellora.exe has ended (its output: $log)"
    fi
    ;;
  bench)
    install_deps
    build native-release
    for b in build/native-release/*/*_bench; do
      [ -x "$b" ] && "$b" "${@:2}"
    done
    ;;
  *)
    echo "usage: tools/dev.sh test | run | bench" >&2
    exit 2
    ;;
esac
