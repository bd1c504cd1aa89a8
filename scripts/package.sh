#!/usr/bin/env bash
# Builds the Debian packages with debhelper into build-package/: the source package
# (dpkg-buildpackage -S: telmaris-korvane_<version>.dsc and .tar.xz), then from the same tree
# the binary packages (dpkg-buildpackage -b: telmaris-korvane_<version>_<arch>.deb and its
# debug symbols telmaris-korvane-dbgsym_<version>_<arch>.deb, with their .buildinfo and
# .changes), and prints the .deb's path. Installs the missing build dependencies first.
#
# The tree is packaged as it is, uncommitted changes included, from a copy of its files (those
# git tracks or would add; without git, all but the build folders). A call on a tree whose files
# have not changed since the last build prints the packages it made. Two builds of one tree are
# byte-identical, wherever the tree is (scripts/repro-check.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh build >&2
out=$PWD/build-package
version=$(dpkg-parsechangelog -S Version)
deb=$out/telmaris-korvane_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb

list=$(mktemp /tmp/korvane-files-XXXXXX)
trap 'rm -f "$list"' EXIT
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [[ -e $f || -L $f ]] && printf '%s\0' "$f"; done >"$list"
else
  find . -mindepth 1 \( -path './build-*' -o -path './obj-*' -o -path ./.git \) -prune -o \
    \( -type f -o -type l \) -printf '%P\0' >"$list"
fi
# What the tree holds, for skipping a build whose packages are there already.
tree_sum=$(tar -c --null -T "$list" --sort=name --mtime=@0 --owner=0 --group=0 --numeric-owner |
  sha256sum | cut -d' ' -f1)
if [[ -f $deb && $(cat "$out/tree.sha256" 2>/dev/null) == "$tree_sum" ]]; then
  echo "$deb"
  exit 0
fi

rm -rf "$out"
src=$out/telmaris-korvane-$version
mkdir -p "$src"
tar -c --null -T "$list" | tar -x -C "$src"
(
  cd "$src"
  dpkg-buildpackage -S -us -uc -d
  dpkg-buildpackage -b -us -uc -j"$(nproc)"
) >&2
echo "$tree_sum" >"$out/tree.sha256"
ls "$deb"
