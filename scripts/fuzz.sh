#!/usr/bin/env bash
# Builds the libFuzzer targets (the "fuzz" preset: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each on its seed corpus, sharing the time among them.
# Usage: scripts/fuzz.sh [seconds]   (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
out=build-fuzz
cmake --preset fuzz >/dev/null
cmake --build "$out" --target korvane_fuzzers --parallel "$(nproc)"
targets=(reply_fuzz passive_fuzz feat_fuzz ini_fuzz connstring_fuzz sqlscript_fuzz)
each=$((seconds / ${#targets[@]}))
((each >= 3)) || each=3
for target in "${targets[@]}"; do
  corpus="$out/corpus/$target"
  mkdir -p "$corpus"
  cp -n "tests/fuzz/corpus/$target"/* "$corpus/" 2>/dev/null || true
  "$out/tests/fuzz/$target" -max_total_time="$each" -max_len=8192 -print_final_stats=1 \
    -artifact_prefix="$out/$target-" \
    "$corpus" 2>"$out/$target.log" || { tail -40 "$out/$target.log"; exit 1; }
  echo "$target: $(grep -E 'stat::number_of_executed_units' "$out/$target.log" | tail -1)"
done
