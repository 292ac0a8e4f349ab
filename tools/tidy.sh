#!/usr/bin/env bash
# clang-tidy with the repository's .clang-tidy over the portable and native sources. clang knows
# no CP932 execution character set, so it reads the clang build's rewritten copies (cmake --preset
# fuzz && cmake --build build/fuzz first: build/fuzz/cp932-src/<path>) with that build's compile
# commands; warnings name the copies, whose lines match the sources. Windows-only files (_win) are
# not in that build.
#   tools/tidy.sh [file...]     default: every .cpp under support ticker companion catalogue tools
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build/fuzz
[ -f "$build/compile_commands.json" ] || { echo "== no $build/compile_commands.json"; exit 1; }
files=("$@")
if [ ${#files[@]} -eq 0 ]; then
  while IFS= read -r f; do files+=("$f"); done < <(find support ticker companion catalogue tools -name '*.cpp' \
    ! -name '*_win.cpp' ! -name '*_win_test.cpp' ! -name '*_fuzz.cpp' | sort)
fi
status=0
for f in "${files[@]}"; do
  copy=$build/cp932-src/$f
  if ! grep -q "\"$root/$copy\"" "$build/compile_commands.json"; then
    echo "== $f: not compiled in $build, skipped"
    continue
  fi
  nice clang-tidy -p "$build" --quiet "$copy" 2>/dev/null || status=1
done
exit $status
