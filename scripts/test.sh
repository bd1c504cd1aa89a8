#!/usr/bin/env bash
# Installs what is missing, builds the normal and the sanitizer configuration, and runs every
# test suite in both. Usage: scripts/test.sh [normal|sanitize]...  (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."

# One PostgreSQL cluster for the whole run, from pg_virtualenv (postgresql-common): the script
# runs again inside it, and the test programs find it through PGHOST, PGPORT, PGUSER and
# PGPASSWORD (run by hand, a test program asks pg_virtualenv for one of its own). The cluster
# goes when the run ends, however it ends.
if [[ -z ${KORVANE_IN_PG_VIRTUALENV:-} ]]; then
  bash scripts/install-deps.sh test

  # The house style: a file that clang-format would change fails the run before anything builds.
  echo "== format"
  find . -path './build-*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 clang-format --dry-run --Werror

  echo "== a PostgreSQL cluster for the run (pg_virtualenv)"
  # Durability is not tested here; small shared buffers, since every TRUNCATE and DROP between
  # tests scans them all.
  KORVANE_IN_PG_VIRTUALENV=1 exec pg_virtualenv -t -o fsync=off -o synchronous_commit=off \
    -o full_page_writes=off -o shared_buffers=16MB -o max_connections=100 bash "$0" "$@"
fi
echo "== PostgreSQL test cluster on $PGHOST:$PGPORT"

configs=("$@")
((${#configs[@]})) || configs=(normal sanitize)

# The sanitizers' options are the sanitize test preset's (CMakePresets.json). Its quarantine of
# freed memory is 32 MB instead of 256: the tests' processes are short, a use after free
# shows up long before 32 MB of later frees, and the larger one cost a fifth of the CPU in
# fresh pages.

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
