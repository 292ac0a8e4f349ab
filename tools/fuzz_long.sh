#!/usr/bin/env bash
# Long fuzzing runs outside CI, one target after another (start two for the two cores):
#   tools/fuzz_long.sh [seconds] target...
# Each target runs for at most 10 million executions or the given seconds (900 by default), with
# its dictionary when there is one, keeping its corpus in build/fuzz/long/<target>/ and its log in
# build/fuzz/long/<target>.log. The last line of each log's summary is printed, with the CPU time
# the run had (the fuzzer runs at the lowest priority, so a busy machine gives it less than the wall time).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=900
if [[ ${1:-} =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
out=build/fuzz/long
mkdir -p "$out"
for name in "$@"; do
  exe=$(find build/fuzz -name "$name" -type f -perm -u+x | head -n 1)
  src=$(find support ticker companion catalogue -name "$name.cpp" | head -n 1)
  [ -n "$exe" ] && [ -n "$src" ] || { echo "== $name: not built or no source"; exit 1; }
  dict=()
  if [ -f "${src%.cpp}.dict" ]; then dict=(-dict="${src%.cpp}.dict"); fi
  mkdir -p "$out/$name"
  status=0
  /usr/bin/time -f "cpu %U" -o "$out/$name.cpu" nice -n 19 "$exe" -runs=10000000 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "${dict[@]}" -artifact_prefix="$out/$name-" "$out/$name" "${src%.cpp}_corpus" \
    >"$out/$name.log" 2>&1 </dev/null || status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$out/$name.log" | grep -o '[0-9]*$' || true)
  rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$out/$name.log" | grep -o '[0-9]*$' || true)
  cov=$(grep -o 'cov: [0-9]*' "$out/$name.log" | tail -n 1 | grep -o '[0-9]*' || true)
  cpu=$(grep -o 'cpu [0-9.]*' "$out/$name.cpu" | grep -o '[0-9.]*' || true)
  echo "== $name: status $status, ${runs:-?} executions, ${rate:-?}/s, ${cov:-?} edges, ${cpu:-?} s of CPU"
done
