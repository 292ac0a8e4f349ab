#!/usr/bin/env bash
# clang-tidy with the repository's .clang-tidy over every source of the project, each file where it
# is compiled: the portable and native ones natively, the Windows ones (_win) aimed at
# x86_64-w64-windows-gnu with the MinGW-w64 headers. clang knows no CP932 execution character set,
# so both read copies whose literals cmake/cp932_literals.py rewrote:
#   native   the clang build's copies and compile commands (cmake --preset fuzz first; the copies
#            are brought up to date here: build/fuzz/cp932-src/<path>)
#   Windows  copies made here (build/win64/tidy/cp932-src/<path>) and the MinGW build's compile
#            commands turned into clang's (cmake --preset win64 first; tools/tidy_db.py)
# Diagnostics name the sources and their lines (the copies open with a #line, so a copy's line N
# is the source's N - 1), each once, then the count per check.
# Exits 1 on any warning.
# Results are cached by content in ~/.cache/zellora/tidy (ZELLORA_TIDY_CACHE another folder;
# tools/tidy_db.py says what the key holds): a file is analysed again when its copy, a header it
# includes, its compile command, .clang-tidy or clang-tidy changed, and a cached warning is
# reported again. Deleting the folder empties the cache.
#   tools/tidy.sh [file...]     default: every .cpp under support ticker companion catalogue installer tools
#                               tests but the fuzz targets; TIDY_JOBS files at a time (nproc)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
native=build/fuzz
win=build/win64
tidy=$win/tidy
jobs=${TIDY_JOBS:-$(nproc)}
code_dirs=(support ticker companion catalogue installer tools tests)

for db in "$native/compile_commands.json" "$win/compile_commands.json"; do
  [ -f "$db" ] || { echo "== no $db (cmake --preset fuzz / win64 first)"; exit 1; }
done
cmake --build "$native" --target zellora_cp932_sources >/dev/null
mkdir -p "$tidy"
find "${code_dirs[@]}" \( -name '*.cpp' -o -name '*.h' \) | sort >"$tidy/cp932-src.list"
python3 cmake/cp932_literals.py --tree "$root" "$tidy/cp932-src" "$tidy/cp932-src.list"
python3 tools/tidy_db.py windows "$root" "$win/compile_commands.json" "$root/$tidy/cp932-src" \
  "$tidy/compile_commands.json"

files=("$@")
if [ ${#files[@]} -eq 0 ]; then
  while IFS= read -r f; do files+=("$f"); done < <(find "${code_dirs[@]}" -name '*.cpp' ! -name '*_fuzz.cpp' | sort)
fi
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
jobs_list=()
for f in "${files[@]}"; do
  case "$f" in
    *_win.cpp | *_win_test.cpp) build=$tidy ;;
    *) build=$native ;;
  esac
  copy=$root/$build/cp932-src/$f
  if ! grep -q "\"file\": \"$copy\"" "$build/compile_commands.json"; then
    # Programs built by hand from the tests' data (testdata/), and the benchmarks of the
    # optimised build: in neither compile database.
    echo "== $f: not compiled in $build, skipped"
    continue
  fi
  jobs_list+=("$build" "$copy")
done
# One log per file, so that the outputs of parallel runs do not interleave. clang-tidy's own exit
# status only tells a file it could not compile; that shows in the log as an error. A file whose
# inputs are all as they were at an earlier run gets that run's log from the cache (tidy_db.py).
python3 tools/tidy_db.py run "$root" "$jobs" "$logs" "${jobs_list[@]}"
python3 tools/tidy_db.py summary "$root" "$logs"/*.log
