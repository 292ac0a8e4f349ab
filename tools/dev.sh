#!/bin/bash
# Set-up, build, test and run for a Debian 12 machine (as root, or with sudo available).
#
#   tools/dev.sh test    install what is missing, check the formatting, build every build with
#                        warnings as errors, run every test, run each fuzz target briefly
#                        (ZELLORA_FUZZ_SECONDS, default 20; one per core at a time), run clang-tidy
#                        (tools/tidy.sh; its results are cached by content in ~/.cache/zellora/tidy)
#   tools/dev.sh run     install what is missing, build the Windows programs, start the ticker's
#                        demonstration (tools/demo/run_demo.sh; "run --stop" ends it)
#   tools/dev.sh bench   install what is missing, build the optimised native tree, run the benchmarks
#   tools/dev.sh fuzz    the fuzz smoke runs of test alone, over the fuzz build as it stands
# Each ends with a table of its stages' durations (also when one failed) and the compiler cache's
# hits and misses of the run.
#
# Build trees: build/native (Linux, sanitizers), build/win64 (MinGW-w64, tests under Wine),
# build/fuzz (clang, libFuzzer, the unit tests too), build/native-release (benchmarks and tools),
# each configured by its preset alone, whichever command builds it.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

packages=(
  build-essential cmake ninja-build ccache pkg-config git python3 python3-feedparser openssl locales nodejs
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcurl4-openssl-dev nlohmann-json3-dev
  clang clang-format clang-tidy clang-tools libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64 libwine fonts-wine libgnutls30
  util-linux xvfb xauth xdotool x11-apps imagemagick fonts-ipafont-gothic fonts-ipafont-mincho nsis
  chromium
)

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

install_deps() {
  local missing=() p
  # One query for the whole list (one per package costs seconds on a busy machine).
  declare -A installed=()
  while read -r p; do installed[$p]=1; done < <(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
    sed -n 's/^\([^ ]*\) install ok installed$/\1/p')
  for p in "${packages[@]}"; do
    [ -n "${installed[$p]:-}" ] || missing+=("$p")
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
# Work trees and fresh clones in other folders share the compiler cache (ccache, which the build
# uses when it is installed). What it did in this run is counted in its own log.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
# Without it a build with debug information misses for every clone in another folder (the folder
# is hashed); the price is that a hit's debug information may name the folder it was compiled in.
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
export CCACHE_STATSLOG=$root/build/ccache-stats.log

# Every command configures a tree with its preset alone (CMakePresets.json holds the options,
# warnings as errors among them), so that `run` and `test` build the same tree and neither rebuilds
# what the other built.
build() {  # build <preset>
  cmake --preset "$1" >/dev/null
  cmake --build "build/$1" -j "$jobs"
}

code_dirs=(support ticker companion catalogue installer tools tests)

# Each stage's start; at the end, also after a failure, one table of the stages' durations.
stage_names=()
stage_starts=()
stage() {
  stage_names+=("$1")
  stage_starts+=("$SECONDS")
  echo "== $1 (at $((SECONDS / 60))m$((SECONDS % 60))s)"
}

# Stages that run beside the others (beside <name> <command>...): CPU-bound work started when the
# stages that follow mostly wait (the Wine tests wait on windows, servers and clocks), at the lowest
# priority so that it takes only the time those leave idle. Its output goes to a log of its own,
# printed when it is waited for (wait_beside); a failure fails the run.
#
# The lowest priority has to be set twice: Linux first shares the processor between sessions
# (autogroups) and honours a process's nice value only within its session, and the Wine servers
# and the programs under test run in sessions of their own. So the command runs in a new session
# whose autogroup is niced too (/proc/self/autogroup), and its processes are niced within it.
beside_names=()
beside_pids=()
beside_dir=build/beside
beside() {
  local name=$1 n=${#beside_names[@]}
  shift
  mkdir -p "$beside_dir"
  rm -f "$beside_dir/$n".*
  echo "== $name: beside what follows, at the lowest priority (at $((SECONDS / 60))m$((SECONDS % 60))s)"
  (
    start=$SECONDS
    trap 'echo "$? $((SECONDS - start))" >"$beside_dir/$n.status"' EXIT
    # The session's id names its process group, which a failed run ends with all it started.
    setsid --wait bash -c 'echo "$$" >"$1"; echo 19 >/proc/self/autogroup 2>/dev/null; shift; exec nice -n 19 "$@"' \
      beside "$beside_dir/$n.session" "$@"
  ) >"$beside_dir/$n.log" 2>&1 </dev/null &
  beside_pids+=($!)
  beside_names+=("$name")
}

# report_beside <index>: the stage's log and its outcome; fails if it failed.
report_beside() {
  local rc
  beside_pids[$1]=""
  echo "== ${beside_names[$1]} (ran beside the stages above):"
  cat "$beside_dir/$1.log"
  read -r rc _ <"$beside_dir/$1.status" 2>/dev/null || rc="no status"
  if [ "$rc" != 0 ]; then
    echo "== ${beside_names[$1]}: FAILED (exit status $rc)"
    return 1
  fi
}

# Waits for every stage started with beside and reports it; fails if one failed.
wait_beside() {
  local i failed=0
  for i in "${!beside_pids[@]}"; do
    wait "${beside_pids[i]}" || true
    report_beside "$i" || failed=1
  done
  return "$failed"
}

print_stage_times() {  # print_stage_times <exit status>
  local n=${#stage_names[@]} i end d note hits misses rc
  [ "$n" -gt 0 ] || return 0
  echo "== stage times"
  for ((i = 0; i < n; i++)); do
    end=${stage_starts[i + 1]:-$SECONDS}
    d=$((end - stage_starts[i]))
    note=""
    if [ "$i" -eq $((n - 1)) ] && [ "$1" -ne 0 ]; then note="  FAILED"; fi
    printf '==   %-32s %3dm%02ds%s\n' "${stage_names[i]}" $((d / 60)) $((d % 60)) "$note"
  done
  for i in "${!beside_names[@]}"; do
    rc="" d=""
    read -r rc d <"$beside_dir/$i.status" 2>/dev/null || true
    if [ -z "$d" ]; then
      printf '==   %-32s %s\n' "${beside_names[i]}" "(beside; ended unfinished with the run)"
      continue
    fi
    note=""
    if [ "$rc" != 0 ]; then note="  FAILED"; fi
    printf '==   %-32s %3dm%02ds%s\n' "${beside_names[i]}" $((d / 60)) $((d % 60)) "  (beside)$note"
  done
  printf '==   %-32s %3dm%02ds\n' "total" $((SECONDS / 60)) $((SECONDS % 60))
  hits=$(grep -cE '^(direct|preprocessed)_cache_hit$' "$CCACHE_STATSLOG" 2>/dev/null || true)
  misses=$(grep -cx 'cache_miss' "$CCACHE_STATSLOG" 2>/dev/null || true)
  echo "== compiler cache: ${hits:-0} hits, ${misses:-0} compiled"
}

stop_wine_on_exit=0
on_exit() {
  local rc=$? i
  # After a failed stage: what ran beside it and has ended is reported, what still runs is ended.
  for i in "${!beside_pids[@]}"; do
    [ -n "${beside_pids[i]}" ] || continue
    if [ -f "$beside_dir/$i.status" ]; then
      report_beside "$i" || true
    else
      kill -- "-$(cat "$beside_dir/$i.session" 2>/dev/null)" 2>/dev/null || true
      wait "${beside_pids[i]}" 2>/dev/null || true
      echo "stopped" >"$beside_dir/$i.status"
    fi
  done
  if [ "$stop_wine_on_exit" = 1 ]; then stop_wine; fi
  print_stage_times "$rc"
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
# foo_fuzz_corpus/), as many at a time as there are cores, each for the whole ZELLORA_FUZZ_SECONDS
# and with a log of its own. What a run finds goes to build/fuzz/fuzz-smoke/, never into the seeds.
# Every target runs to its end; then each one's line in the order of their sources, a failure's with
# the end of its log and the input that failed.
fuzz_smoke() {
  local seconds=${ZELLORA_FUZZ_SECONDS:-20}
  local out=build/fuzz/fuzz-smoke
  local sources=() names=() exes=() dict=() src name exe seeds log runs rate added cov rc i
  local failed=0 inputs
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
    if [ -z "$exe" ]; then
      echo "== fuzz $name: not built"
      exit 1
    fi
    if [ -z "$(ls -A "${src%.cpp}_corpus" 2>/dev/null)" ]; then
      echo "== fuzz $name: no seed corpus in ${src%.cpp}_corpus"
      exit 1
    fi
    names+=("$name")
    exes+=("$exe")
  done
  echo "== fuzz: ${#names[@]} targets, $jobs at a time, $seconds s each"
  for i in "${!names[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    src=${sources[i]}
    name=${names[i]}
    mkdir -p "$out/$name"
    dict=()
    if [ -f "${src%.cpp}.dict" ]; then dict=(-dict="${src%.cpp}.dict"); fi
    (
      rc=0
      "${exes[i]}" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 "${dict[@]}" \
        -artifact_prefix="$out/$name-" "$out/$name" "${src%.cpp}_corpus" >"$out/$name.log" 2>&1 </dev/null || rc=$?
      echo "$rc" >"$out/$name.status"
    ) &
  done
  wait
  for i in "${!names[@]}"; do
    name=${names[i]}
    seeds=${sources[i]%.cpp}_corpus
    log=$out/$name.log
    rc=$(cat "$out/$name.status" 2>/dev/null || echo "no status")
    if [ "$rc" != 0 ]; then
      tail -n 40 "$log"
      inputs=$(find "$out" -maxdepth 1 -type f -name "$name-*" | sort | paste -sd ' ')
      echo "== fuzz $name: FAILED (exit status $rc) after the output above (log: $log;" \
        "the input: ${inputs:-none written}; again: ${exes[i]} <input>)"
      failed=1
      continue
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    added=$(sed -n 's/^stat::new_units_added: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    echo "== fuzz $name: ${rate:-?} exec/s, ${runs:-?} runs in ${seconds} s from $(ls "$seeds" | wc -l) seeds," \
      "coverage ${cov:-?} edges, ${added:-?} new inputs, no failure"
  done
  if [ "$failed" != 0 ]; then exit 1; fi
}

# wine_desktops <wine-env.sh command>: the command on each Wine desktop the tests use (the ids in
# the Windows tree's wine-desktops.json; cmake/wine-env.sh says which prefix and X server each is).
wine_desktops() {
  local desktops=$root/build/win64/wine-desktops.json ids id pids=() rc=0
  ids=$(python3 -c 'import json, sys
print(" ".join(d["id"] for d in json.load(open(sys.argv[1]))["local"][0]["wine_desktop"]))' "$desktops" 2>/dev/null || echo 1)
  for id in $ids; do
    CTEST_RESOURCE_GROUP_0_WINE_DESKTOP="id:$id,slots:1" ZELLORA_WINE_HOME="$root/build/win64/wine" \
      "$root/cmake/wine-env.sh" "$1" &
    pids+=($!)
  done
  for id in "${pids[@]}"; do wait "$id" || rc=$?; done
  return "$rc"
}

stop_wine() {
  wine_desktops stop || true
}

cmd=${1:-}
case "$cmd" in
  test | run | bench)
    mkdir -p build
    : >"$CCACHE_STATSLOG"
    trap on_exit EXIT
    stage "packages"
    install_deps
    ;;
esac
case "$cmd" in
  test)
    stage "format check"
    check_format
    stage "native build"
    build native
    stage "native tests"
    (cd build/native && ctest --output-on-failure -j "$jobs")
    # clang, with the narrow literals rewritten to their code page 932 bytes: the unit tests again
    # (under clang's sanitizers), then every fuzz target.
    stage "fuzz build"
    build fuzz
    stage "unit tests of the fuzz build"
    (cd build/fuzz && ctest --output-on-failure -j "$jobs")
    stage "Windows build"
    build win64
    # Both compile databases exist now: clang-tidy over every source, any warning fails the run.
    # It and the fuzz smoke runs (which take their whole time whatever the load) use the cores
    # the Wine tests leave idle.
    beside "static analysis" bash "$root/tools/tidy.sh"
    beside "fuzz smoke runs" bash "$root/tools/dev.sh" fuzz
    # The README's demonstration must show headlines: the bar's yellow text in a screenshot.
    stage "demonstration check"
    bash "$root/tools/demo/run_demo.sh" "$root/build/win64" --check
    stage "Windows tests (under Wine)"
    stop_wine_on_exit=1
    wine_desktops prepare
    (cd build/win64 && ctest --output-on-failure -j "$jobs")
    stage "waiting for the stages beside"
    wait_beside
    ;;
  fuzz)
    # The fuzz smoke runs alone, over the fuzz build as it is (test runs them after building it).
    fuzz_smoke
    ;;
  run)
    # The demonstration: sample pages on the local server, a prefix of its own (never the user's),
    # the ticker on the current display or, without one, under a virtual X server with screenshots.
    stage "Windows build"
    build win64
    # The table now: the demonstration replaces this shell and may run on.
    print_stage_times 0
    trap - EXIT
    exec bash "$root/tools/demo/run_demo.sh" "$root/build/win64" "${@:2}"
    ;;
  bench)
    stage "optimised build"
    build native-release
    stage "benchmarks"
    for b in build/native-release/*/*_bench; do
      [ -x "$b" ] && "$b" "${@:2}"
    done
    ;;
  *)
    echo "usage: tools/dev.sh test | run | bench | fuzz" >&2
    exit 2
    ;;
esac
