#!/usr/bin/env bash
# The product's functions stay below a cognitive complexity of 25 (clang-tidy, the checks in
# .clang-tidy) over the compile commands of a configured build. Usage: complexity.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-normal}
[[ -f $build/compile_commands.json ]] || { echo "no $build/compile_commands.json" >&2; exit 2; }
mapfile -t files < <(git ls-files '*.cpp' | grep -v -E '^(tests|bench|fuzz)/')
out=$(mktemp)
trap 'rm -f "$out"' EXIT
printf '%s\n' "${files[@]}" |
  xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null >"$out" || true
if grep -E 'cognitive complexity' "$out" | sort -u | grep .; then
  echo "functions above the bound: split them" >&2
  exit 1
fi
grep -E 'error:' "$out" && { echo "clang-tidy failed" >&2; exit 1; }
echo "complexity: ${#files[@]} files, every function within the bound"
