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

# CPack 3.25 writes the debug package's md5sums with the paths of its own staging folder, and
# gives it no documentation. Rebuilt as dh_strip makes one: md5sums of the package's paths, the
# .debug files not executable, its doc folder a link to the main package's, whose source it
# names (so lintian checks the two as one build).
ddeb=$(ls "$dir"/telmaris-korvane-dbgsym_*.ddeb)
tree=$(mktemp -d /tmp/korvane-ddeb-XXXXXX)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -R "$ddeb" "$tree/root"
find "$tree/root/usr" -name '*.debug' -exec chmod 644 {} +
mkdir -p "$tree/root/usr/share/doc"
ln -s telmaris-korvane "$tree/root/usr/share/doc/telmaris-korvane-dbgsym"
sed -i '/^Package:/a Source: telmaris-korvane' "$tree/root/DEBIAN/control"
(cd "$tree/root" && find usr -type f | LC_ALL=C sort | xargs md5sum) >"$tree/root/DEBIAN/md5sums"
dpkg-deb --root-owner-group -Zxz --build "$tree/root" "$ddeb" >/dev/null

ls "$PWD/$dir"/telmaris-korvane_*.deb
