#!/usr/bin/env bash
# Builds the libFuzzer targets of the FTP layer's parsers with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for half the time: the reply parser, and the
# PASV/EPSV/FEAT readers. Usage: scripts/fuzz.sh [seconds]   (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
out=build-fuzz
layer=(public_win/util/FtpReply.cpp public_win/util/FtpSession.cpp public_win/util/FtpSocket.cpp
       public_win/util/FtpData.cpp public_win/util/FtpPassive.cpp public_win/util/FtpEncoding.cpp
       public_win/util/FtpTransport.cpp public_win/util/FtpTls.cpp)
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -Ipublic_win/util -Icommon)
run() {
  local target=$1 corpus=$2
  mkdir -p "$out/$target.corpus"
  cp -n "$corpus"/* "$out/$target.corpus/" 2>/dev/null || true
  clang++ "${flags[@]}" "tests/fuzz/$target.cpp" "${layer[@]}" -lssl -lcrypto -o "$out/$target"
  "$out/$target" -max_total_time="$((seconds / 2))" -max_len=8192 -print_final_stats=1 \
    "$out/$target.corpus" 2>"$out/$target.log" || { tail -40 "$out/$target.log"; exit 1; }
  echo "$target: $(grep -E 'stat::number_of_executed_units' "$out/$target.log" | tail -1)"
}
mkdir -p "$out"
run reply_fuzz tests/fuzz/corpus
run passive_fuzz tests/fuzz/corpus-passive
