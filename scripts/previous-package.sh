#!/usr/bin/env bash
# Builds the package of the previous release -- the last commit of the first-parent history whose
# version differs from this tree's -- with that commit's own scripts, in
# build-previous/<commit>/, and prints "<version> <path of its .deb>". scripts/package-check.sh
# upgrades from it; CI starts it early, at a low priority, while the tests mostly wait on their
# servers. A commit's package never changes (its build is reproducible), so the .deb is kept in
# $KORVANE_PREVIOUS_CACHE (~/.cache/korvane/previous) under the commit's name: the next call, from
# this tree, another clone or another CI run on the machine, prints it without building.
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
cache=${KORVANE_PREVIOUS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvane/previous}/$previous
if deb=$(ls "$cache"/telmaris-korvane_"$previous_version"_*.deb 2>/dev/null); then
  echo "$previous_version $deb"
  exit 0
fi
find_deb() { ls "$tree"/build-package/telmaris-korvane_"$previous_version"_*.deb 2>/dev/null; }
echo "building $previous_version from $(git log -1 --format='%h %cs' "$previous")" >&2
rm -rf "$tree"
mkdir -p "$tree"
git archive "$previous" | tar -x -C "$tree"
start=$(date +%s)
# The commit's date stands for the build's, as its own scripts expect from a checkout.
(cd "$tree" && SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$previous") \
  bash scripts/package.sh >/dev/null 2>"$tree/build.log") ||
  { tail -20 "$tree/build.log" >&2; exit 1; }
built=$(find_deb) || { echo "the build of $previous_version left no package" >&2; exit 1; }
echo "built $previous_version in $(($(date +%s) - start)) s" >&2
# Complete or not there: a build cut short leaves no half-copied package for the next call.
mkdir -p "$cache"
cp "$built" "$cache/.partial"
mv "$cache/.partial" "$cache/$(basename "$built")"
echo "$previous_version $cache/$(basename "$built")"
