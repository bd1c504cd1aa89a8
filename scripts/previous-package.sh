#!/usr/bin/env bash
# Builds the package of the previous release -- the last commit of the first-parent history whose
# version differs from this tree's -- with that commit's own scripts, in
# build-previous/<commit>/, and prints "<version> <path of its .deb>". A second call for the same
# commit prints what the first built. scripts/package-check.sh upgrades from it; CI starts it
# early, at a low priority, while the tests mostly wait on their servers.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(dpkg-parsechangelog -S Version)
# The version a commit carries: debian/changelog's latest entry, else (before debian/)
# CMakeLists.txt's project().
version_at() {
  local v
  v=$(git show "$1:debian/changelog" 2>/dev/null | sed -n '1s/^[^(]*(\([^)]*\)).*/\1/p')
  [[ -n $v ]] || v=$(git show "$1:CMakeLists.txt" | sed -n 's/^project(korvane VERSION \([0-9.]*\).*/\1/p')
  echo "$v"
}
previous=""
for commit in $(git rev-list --first-parent HEAD); do
  v=$(version_at "$commit")
  if [[ -n $v && $v != "$version" ]]; then previous=$commit previous_version=$v; break; fi
done
[[ -n $previous ]] || { echo "no commit of a version other than $version" >&2; exit 1; }

tree=$PWD/build-previous/$previous
find_deb() { ls "$tree"/build-package/telmaris-korvane_"$previous_version"_*.deb 2>/dev/null; }
if deb=$(find_deb); then
  echo "$previous_version $deb"
  exit 0
fi
echo "building $previous_version from $(git log -1 --format='%h %cs' "$previous")" >&2
rm -rf "$tree"
mkdir -p "$tree"
git archive "$previous" | tar -x -C "$tree"
start=$(date +%s)
# The commit's date stands for the build's, as its own scripts expect from a checkout.
(cd "$tree" && SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$previous") \
  bash scripts/package.sh >/dev/null 2>"$tree/build.log") ||
  { tail -20 "$tree/build.log" >&2; exit 1; }
deb=$(find_deb) || { echo "the build of $previous_version left no package" >&2; exit 1; }
echo "built $previous_version in $(($(date +%s) - start)) s" >&2
echo "$previous_version $deb"
