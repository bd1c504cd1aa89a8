#!/usr/bin/env bash
# Installs the Debian packages korvane needs, and only those that are missing.
# Quick when everything is present: one dpkg-query, no apt-get at all.
#
#   install-deps.sh build   what building the programs and the package takes (scripts/package.sh):
#                           debian/control's Build-Depends and the tools that build and check
#                           packages
#   install-deps.sh run     and what the main job's tour runs with (scripts/run-main.sh, the
#                           package's check)
#   install-deps.sh test    and what the tests take (scripts/test.sh), servers included
#
# The test servers (PostgreSQL through pg_virtualenv, vsftpd, OpenSSH's sshd) are only ever
# started by the tests, on loopback ports of their own: when this script installs them, they are
# neither started nor left enabled at boot.
set -euo pipefail
cd "$(dirname "$0")/.."

want=${1:-test}
# The package's build dependencies (compilers, Qt, libssh, ...) are debian/control's alone,
# installed with apt-get build-dep; these are the tools around them.
build=(
  build-essential dpkg-dev debhelper git file binutils lintian devscripts
)
# The normal preset that the main job builds configures its tests too, hence GoogleTest.
run=(
  libgtest-dev googletest
  libqt6sql6-sqlite qt6-translations-l10n fonts-wqy-microhei
  qt6-image-formats-plugins
  python3-pyftpdlib
  xvfb xauth xdotool
)
test=(
  clang clang-format clang-tidy
  libqt6sql6-psql libqt6sql6-odbc odbc-postgresql python3-openssl curl openssl
  libtiff-tools
)
servers=(postgresql postgresql-common vsftpd openssh-server)

case "$want" in
  build) packages=("${build[@]}") ;;
  run) packages=("${build[@]}" "${run[@]}") ;;
  test) packages=("${build[@]}" "${run[@]}" "${test[@]}" "${servers[@]}") ;;
  *) echo "usage: $0 build|run|test" >&2; exit 2 ;;
esac

installed() {
  [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true) == "install ok installed" ]]
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
build_deps=true
dpkg-checkbuilddeps debian/control >/dev/null 2>&1 || build_deps=false
if ((${#missing[@]} == 0)) && $build_deps; then
  exit 0
fi

$build_deps || echo "installing the build dependencies of debian/control"
((${#missing[@]} == 0)) || echo "installing: ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

new_servers=()
for s in "${servers[@]}"; do
  [[ " ${missing[*]} " == *" $s "* ]] && new_servers+=("$s")
done
# invoke-rc.d asks policy-rc.d whether a service may start: 101 says no. One that is there
# already (a container's) is left as it is.
policy=/usr/sbin/policy-rc.d
own_policy=false
if ((${#new_servers[@]})) && [[ ! -e $policy ]]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  own_policy=true
fi
restore_policy() { if $own_policy; then $SUDO rm -f "$policy"; fi; }
trap restore_policy EXIT

$SUDO apt-get update -qq
if ((${#missing[@]})); then
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
$build_deps || $SUDO apt-get build-dep -y -qq --no-install-recommends ./ >/dev/null

# Their packages enable them at boot: not on a machine that only builds and tests.
for package in "${new_servers[@]}"; do
  s=$package
  [[ $package == openssh-server ]] && s=ssh  # the service's own name
  if [[ -d /run/systemd/system ]]; then
    $SUDO systemctl disable --now "$s" >/dev/null 2>&1 || true
  else
    $SUDO deb-systemd-helper disable "$s.service" >/dev/null 2>&1 || true
  fi
  $SUDO update-rc.d "$s" disable >/dev/null 2>&1 || true
  # Stopped again where a policy let it start.
  $SUDO invoke-rc.d "$s" stop >/dev/null 2>&1 || true
  echo "installed $package, not running and not started at boot"
done
