#!/usr/bin/env bash
# Installs what is missing, builds the normal and the sanitizer configuration, and runs every
# test suite in both. Usage: scripts/test.sh [normal|sanitize]...  (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh

# The house style: a file that clang-format would change fails the run before anything builds.
echo "== format"
find . -path './build-*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run --Werror

configs=("$@")
((${#configs[@]})) || configs=(normal sanitize)

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# One PostgreSQL cluster for the whole run; without it each test program starts its own.
pgdir=$(mktemp -d /tmp/korvane-pg-XXXXXX)
trap 'bash scripts/pg-test-cluster.sh stop "$pgdir"' EXIT
if port=$(bash scripts/pg-test-cluster.sh start "$pgdir"); then
  export KORVANE_TEST_PG="$port"
  echo "== PostgreSQL test cluster on 127.0.0.1:$port"
fi

for config in "${configs[@]}"; do
  case "$config" in
    normal)   flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    sanitize) flags=(-DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON) ;;
    *) echo "unknown configuration: $config" >&2; exit 2 ;;
  esac
  dir="build-$config"
  echo "== $config: configure and build in $dir"
  cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
  cmake --build "$dir" --parallel "$(nproc)"
  if [[ $config == sanitize ]]; then
    echo "== $config: FTP parsers under libFuzzer"
    bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
  fi
  echo "== $config: tests"
  ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)" --timeout 600
done
