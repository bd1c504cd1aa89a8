#!/usr/bin/env bash
# Builds the FTP reply parser's libFuzzer target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs it. Usage: scripts/fuzz.sh [seconds]   (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
out=build-fuzz
mkdir -p "$out/corpus"
cp -n tests/fuzz/corpus/* "$out/corpus/" 2>/dev/null || true
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Ipublic_win/util tests/fuzz/reply_fuzz.cpp public_win/util/FtpReply.cpp \
  public_win/util/FtpSession.cpp public_win/util/FtpSocket.cpp -o "$out/reply_fuzz"
"$out/reply_fuzz" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 "$out/corpus" \
  2>"$out/fuzz.log" || { tail -40 "$out/fuzz.log"; exit 1; }
grep -E 'stat::number_of_executed_units|Done' "$out/fuzz.log" | tail -2
