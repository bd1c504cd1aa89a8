#!/usr/bin/env bash
# Builds the Debian package telmaris-korvane_<version>_<arch>.deb, and beside it the debug
# symbols telmaris-korvane-dbgsym_<version>_<arch>.ddeb, into build-package/ (the package preset:
# the distribution's hardening flags, no tests, no benchmarks) and prints the .deb's path.
# Installs the missing build dependencies first, nothing else.
# Two builds of one commit are byte-identical, wherever the tree is (scripts/repro-check.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh build >&2
# The commit's date stands for the build's in everything dated (see cmake/Version.cmake).
if [[ -z ${SOURCE_DATE_EPOCH:-} ]] && epoch=$(git log -1 --format=%ct 2>/dev/null); then
  export SOURCE_DATE_EPOCH=$epoch
fi
dir=build-package
cmake --preset package >/dev/null
cmake --build --preset package --parallel "$(nproc)" >&2
rm -f "$dir"/*.deb "$dir"/*.ddeb
(cd "$dir" && cpack -G DEB >&2)
ls "$PWD/$dir"/telmaris-korvane_*.deb
