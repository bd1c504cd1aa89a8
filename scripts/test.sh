#!/usr/bin/env bash
# Installs what is missing, builds the normal and the sanitizer configuration, and runs every
# test suite in both. Usage: scripts/test.sh [normal|sanitize]...  (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test

# The house style: a file that clang-format would change fails the run before anything builds.
echo "== format"
find . -path './build-*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run --Werror

configs=("$@")
((${#configs[@]})) || configs=(normal sanitize)

# The sanitizers' options are the sanitize test preset's (CMakePresets.json). Its quarantine of
# freed memory is 32 MB instead of 256: the tests' processes are short, a use after free
# shows up long before 32 MB of later frees, and the larger one cost a fifth of the CPU in
# fresh pages.

# One PostgreSQL cluster for the whole run; without it each test program starts its own.
pgdir=$(mktemp -d /tmp/korvane-pg-XXXXXX)
trap 'bash scripts/pg-test-cluster.sh stop "$pgdir"' EXIT
if port=$(bash scripts/pg-test-cluster.sh start "$pgdir"); then
  export KORVANE_TEST_PG="$port"
  echo "== PostgreSQL test cluster on 127.0.0.1:$port"
fi

# Every test program runs its tests in a shuffled order, so a test that leans on an earlier
# one's state fails here; the seed is printed so that a failing order can be run again with
# GTEST_RANDOM_SEED=<seed> (GTEST_SHUFFLE=0 turns it off).
export GTEST_SHUFFLE=${GTEST_SHUFFLE:-1}
export GTEST_RANDOM_SEED=${GTEST_RANDOM_SEED:-$((RANDOM % 99999 + 1))}
echo "== tests in shuffled order, seed $GTEST_RANDOM_SEED"

# Most of a test's time is spent waiting on its servers, so one more test than there are cores
# runs at a time.
jobs=$(($(nproc) + 1))
for config in "${configs[@]}"; do
  case "$config" in
    normal | sanitize) ;;
    *) echo "unknown configuration: $config" >&2; exit 2 ;;
  esac
  echo "== $config: configure and build in build-$config (warnings are errors)"
  cmake --preset "$config" >/dev/null
  cmake --build --preset "$config" --parallel "$(nproc)"
  if [[ $config == normal ]]; then
    echo "== complexity bound (clang-tidy)"
    bash scripts/complexity.sh build-normal
  fi
  if [[ $config == sanitize ]]; then
    echo "== the parsers under libFuzzer (clang, the fuzz preset)"
    bash scripts/fuzz.sh "${FUZZ_SECONDS:-36}"
  fi
  echo "== $config: tests"
  start=$(date +%s)
  ctest --preset "$config" --parallel "$jobs"
  echo "== $config: tests took $(($(date +%s) - start)) s"
done
