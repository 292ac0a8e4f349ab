#!/usr/bin/env bash
# Long fuzzing runs outside CI, one target after another (start two for the two cores):
#   tools/fuzz_long.sh [cpu-seconds] target...
# Each target runs until it has had 10 million executions or the given seconds of CPU (900 by
# default), whichever comes first. It runs at the lowest priority, so a busy machine gives it less
# than the wall time; it therefore runs in rounds of at most five minutes, each going on from the
# corpus the last one left, until the totals reach the goal. Corpus: build/fuzz/long/<target>/; log
# of every round: build/fuzz/long/<target>.log; totals so far (executions, CPU seconds):
# build/fuzz/long/<target>.total, so that a run cut short goes on where it stopped.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
goal_cpu=900
goal_runs=10000000
if [[ ${1:-} =~ ^[0-9]+$ ]]; then
  goal_cpu=$1
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
  runs=0
  cpu=0
  [ -f "$out/$name.total" ] && read -r runs cpu <"$out/$name.total"
  status=0
  while [ "$status" -eq 0 ] && [ "$runs" -lt "$goal_runs" ] && [ "${cpu%.*}" -lt "$goal_cpu" ]; do
    round=$out/$name.round.log
    /usr/bin/time -f "cpu %U" -o "$out/$name.cpu" nice -n 19 "$exe" -runs=$((goal_runs - runs)) \
      -max_total_time=300 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "${dict[@]}" \
      -artifact_prefix="$out/$name-" "$out/$name" "${src%.cpp}_corpus" >"$round" 2>&1 </dev/null || status=$?
    cat "$round" >>"$out/$name.log"
    done_now=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$round" | grep -o '[0-9]*$' || echo 0)
    cpu_now=$(grep -o 'cpu [0-9.]*' "$out/$name.cpu" | grep -o '[0-9.]*' || echo 0)
    runs=$((runs + done_now))
    cpu=$(awk -v a="$cpu" -v b="$cpu_now" 'BEGIN { printf "%.1f", a + b }')
    echo "$runs $cpu" >"$out/$name.total"
  done
  cov=$(grep -o 'cov: [0-9]*' "$out/$name.log" | tail -n 1 | grep -o '[0-9]*' || true)
  rate=$(awk -v r="$runs" -v c="$cpu" 'BEGIN { if (c > 0) printf "%d", r / c; else print "?" }')
  echo "== $name: status $status, $runs executions, $rate/s of CPU, ${cov:-?} edges, $cpu s of CPU"
done
