#!/bin/bash
# Set-up, build, test and run for a Debian 12 machine (as root, or with sudo available).
#
#   tools/dev.sh test    install what is missing, check the formatting, build every build with
#                        warnings as errors, run every test, run each fuzz target briefly
#                        (ZELLORA_FUZZ_SECONDS, default 20), run clang-tidy (tools/tidy.sh)
#   tools/dev.sh run     install what is missing, build the Windows programs, start the ticker's
#                        demonstration (tools/demo/run_demo.sh; "run --stop" ends it)
#   tools/dev.sh bench   install what is missing, build the optimised native tree, run the benchmarks
#
# Build trees: build/native (Linux, sanitizers), build/win64 (MinGW-w64, tests under Wine),
# build/fuzz (clang, libFuzzer, the unit tests too), build/native-release (benchmarks and tools).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

packages=(
  build-essential cmake ninja-build pkg-config git python3 python3-feedparser openssl locales
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcurl4-openssl-dev
  clang clang-format clang-tidy libclang-rt-14-dev
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
# Work trees and fresh clones in other folders share the compiler cache.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}

build() {  # build <preset> [cmake option...]
  cmake --preset "$1" "${@:2}" >/dev/null
  cmake --build "build/$1" -j "$jobs"
}

code_dirs=(support ticker companion catalogue tools tests)

stage() {  # the time since the start shows where a slow CI run spends it
  echo "== $1 (at $((SECONDS / 60))m$((SECONDS % 60))s)"
}

# The formatting is checked, never rewritten: a file that differs from what .clang-format gives
# fails the run (clang-format -i fixes it).
check_format() {
  local format files=() f
  format=$(command -v clang-format-14 || command -v clang-format)
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    while IFS= read -r f; do
      [ -f "$f" ] && files+=("$f")
    done < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' | sort -u)
  else
    while IFS= read -r f; do files+=("$f"); done < <(find "${code_dirs[@]}" -name '*.cpp' -o -name '*.h' | sort)
  fi
  if ! printf '%s\0' "${files[@]}" | xargs -0 "$format" --dry-run --Werror; then
    echo "== format check failed ($("$format" --version)): run clang-format -i on the files above"
    exit 1
  fi
  echo "== format: ${#files[@]} files as .clang-format wants them ($("$format" --version))"
}

# Runs every libFuzzer target for a short while over its committed seeds (foo_fuzz.cpp has them in
# foo_fuzz_corpus/). What a run finds goes to build/fuzz/fuzz-smoke/, never into the seeds.
fuzz_smoke() {
  local seconds=${ZELLORA_FUZZ_SECONDS:-20}
  local out=build/fuzz/fuzz-smoke
  local sources=() dict=() src name exe seeds log runs rate added cov
  rm -rf "$out"
  mkdir -p "$out"
  while IFS= read -r src; do sources+=("$src"); done < <(find "${code_dirs[@]}" -name '*_fuzz.cpp' | sort)
  if [ ${#sources[@]} -eq 0 ]; then
    echo "== fuzz: no fuzz targets found"
    exit 1
  fi
  for src in "${sources[@]}"; do
    name=$(basename "$src" .cpp)
    exe=$(find build/fuzz -name "$name" -type f -perm -u+x | head -n 1)
    seeds=${src%.cpp}_corpus
    if [ -z "$exe" ]; then
      echo "== fuzz $name: not built"
      exit 1
    fi
    if [ -z "$(ls -A "$seeds" 2>/dev/null)" ]; then
      echo "== fuzz $name: no seed corpus in $seeds"
      exit 1
    fi
    mkdir -p "$out/$name"
    log=$out/$name.log
    dict=()
    if [ -f "${src%.cpp}.dict" ]; then dict=(-dict="${src%.cpp}.dict"); fi
    if ! "$exe" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 "${dict[@]}" \
      -artifact_prefix="$out/$name-" "$out/$name" "$seeds" >"$log" 2>&1 </dev/null; then
      tail -n 40 "$log"
      echo "== fuzz $name: FAILED after the output above (log: $log; the input: $out/$name-*)"
      exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    added=$(sed -n 's/^stat::new_units_added: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    echo "== fuzz $name: ${rate:-?} exec/s, ${runs:-?} runs in ${seconds} s from $(ls "$seeds" | wc -l) seeds," \
      "coverage ${cov:-?} edges, ${added:-?} new inputs, no failure"
  done
}

stop_wine() {
  ZELLORA_WINE_HOME="$root/build/win64/wine" "$root/cmake/wine-env.sh" stop || true
}

cmd=${1:-}
case "$cmd" in
  test)
    install_deps
    stage "format check"
    check_format
    stage "native build"
    build native -DZELLORA_WERROR=ON
    stage "native tests"
    (cd build/native && ctest --output-on-failure -j "$jobs")
    # clang, with the narrow literals rewritten to their code page 932 bytes: the unit tests again
    # (under clang's sanitizers), then every fuzz target.
    stage "fuzz build"
    build fuzz -DZELLORA_WERROR=ON
    stage "unit tests of the fuzz build"
    (cd build/fuzz && ctest --output-on-failure -j "$jobs")
    stage "fuzz smoke runs"
    fuzz_smoke
    stage "Windows build"
    build win64 -DZELLORA_WERROR=ON
    # Both compile databases exist now: clang-tidy over every source, any warning fails the run.
    stage "static analysis"
    bash "$root/tools/tidy.sh"
    # The README's demonstration must show headlines: the bar's yellow text in a screenshot.
    stage "demonstration check"
    bash "$root/tools/demo/run_demo.sh" "$root/build/win64" --check
    stage "Windows tests (under Wine)"
    trap stop_wine EXIT
    ZELLORA_WINE_HOME="$root/build/win64/wine" "$root/cmake/wine-env.sh" prepare
    (cd build/win64 && ctest --output-on-failure -j "$jobs")
    ;;
  run)
    # The demonstration: sample pages on the local server, a prefix of its own (never the user's),
    # the ticker on the current display or, without one, under a virtual X server with screenshots.
    install_deps
    build win64
    exec bash "$root/tools/demo/run_demo.sh" "$root/build/win64" "${@:2}"
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
