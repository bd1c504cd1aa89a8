#!/usr/bin/env bash
# Builds the Debian package telmaris-korvane_<version>_<arch>.deb into build-package/ and prints
# its path. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
dir=build-package
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DKORVANE_TESTS=OFF >/dev/null
cmake --build "$dir" --parallel "$(nproc)" >&2
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB >&2)
deb=$(ls "$PWD/$dir"/telmaris-korvane_*.deb)
echo "$deb"
