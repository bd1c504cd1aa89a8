#!/usr/bin/env bash
# Builds the packages a second time (dpkg-buildpackage through scripts/package.sh) from a copy
# of this tree in another folder, with a longer path and without a compiler cache, and compares
# the source package's tarball, the package and its debug symbols byte for byte with those in
# build-package/ (brought up to date first: after package-check.sh that costs nothing). Prints
# the files that differ, and how long the second build took.
#
#   repro-check.sh --second-only   only the second build, into build-repro/ (CI makes it at a low
#                                  priority while the tests run); a later repro-check.sh compares
#                                  it when it was made from the same files as build-package/'s
set -euo pipefail
cd "$(dirname "$0")/.."

copy=$PWD/build-repro/a/much/longer/folder/korvane
second_build() {
  rm -rf build-repro
  mkdir -p "$copy"
  # The tree as it is, uncommitted changes included, without its build folders.
  tar -c --exclude='./build-*' . | tar -x -C "$copy"
  local start log=$PWD/build-repro/build.log
  start=$(date +%s)
  (cd "$copy" && CCACHE_DISABLE=1 bash scripts/package.sh >/dev/null 2>"$log") ||
    { tail -20 "$log" >&2; exit 1; }
  echo "== the second package build took $(($(date +%s) - start)) s"
}
if [[ ${1:-} == --second-only ]]; then
  second_build
  exit 0
fi

bash scripts/package.sh >/dev/null
# Both builds name the files they were made from by one digest (scripts/package.sh).
if cmp -s build-package/tree.sha256 "$copy/build-package/tree.sha256"; then
  echo "== the second package build, made earlier from the same files, is compared"
else
  second_build
fi

other=$(mktemp -d /tmp/korvane-repro-XXXXXX)
trap 'rm -rf "$other"' EXIT
status=0
for first in build-package/telmaris-korvane_*.tar.xz build-package/telmaris-korvane_*.deb \
             build-package/telmaris-korvane-dbgsym_*.deb; do
  second="$copy/$first"
  if cmp -s "$first" "$second"; then
    echo "identical: $(basename "$first") ($(sha256sum <"$first" | cut -c1-16))"
    continue
  fi
  status=1
  echo "DIFFERENT: $(basename "$first")" >&2
  mkdir -p "$other/x1" "$other/x2"
  if [[ $first == *.tar.xz ]]; then
    tar -xf "$first" -C "$other/x1"
    tar -xf "$second" -C "$other/x2"
  else
    dpkg-deb -R "$first" "$other/x1"
    dpkg-deb -R "$second" "$other/x2"
  fi
  diff -rq "$other/x1" "$other/x2" >&2 || true
  rm -rf "$other/x1" "$other/x2"
done
exit "$status"
