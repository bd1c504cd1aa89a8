#!/usr/bin/env bash
# Installs the Debian packages korvane needs, and only those that are missing.
# Quick when everything is present: one dpkg-query, no apt-get at all.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config clang clang-format
  libgtest-dev googletest
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc odbc-postgresql libsqlite3-dev
  qt6-translations-l10n fonts-wqy-microhei
  python3-pyftpdlib python3-openssl vsftpd curl libssl-dev openssl
  postgresql
  xvfb xauth xdotool
  dpkg-dev file lintian
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "installing: ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
