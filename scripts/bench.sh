#!/usr/bin/env bash
# Builds the normal configuration and runs the benchmarks in bench/. Usage: scripts/bench.sh [name]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh test
cmake --preset normal >/dev/null
cmake --build build-normal --parallel "$(nproc)"
want=${1:-all}
if [[ $want == all || $want == lookup ]]; then ./build-normal/bench/lookup_bench; fi
if [[ $want == all || $want == ftp ]]; then
  ./build-normal/bench/ftp_bench 64 3
  ./build-normal/bench/ftp_bench "${FTP_BENCH_MIB:-1024}" "${FTP_BENCH_ROUNDS:-3}"
fi
if [[ $want == all || $want == transfer ]]; then
  ./build-normal/bench/transfer_bench 64 3
  ./build-normal/bench/transfer_bench "${FTP_BENCH_MIB:-1024}" "${FTP_BENCH_ROUNDS:-3}"
fi
if [[ $want == all || $want == sftp ]]; then
  ./build-normal/bench/sftp_bench 64 3
  ./build-normal/bench/sftp_bench "${SFTP_BENCH_MIB:-1024}" "${SFTP_BENCH_ROUNDS:-3}"
fi
if [[ $want == all || $want == search ]]; then ./build-normal/bench/search_bench; fi
if [[ $want == all || $want == preview ]]; then ./build-normal/bench/preview_bench 5; fi
