#!/usr/bin/env bash
# Checks the Debian package as a site would use it: builds it, lints it, installs it with apt,
# runs the installed telmaris-host headless as an ordinary user with a home of its own (the tour
# uploads, searches and downloads a sample file, which must come back byte-identical in that
# user's download folder), removes the package and checks that nothing of it is left outside
# /etc. Needs root; changes the machine (a user "korvane-op", the package while it runs).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

deb=$(bash scripts/package.sh)
echo "== package $deb"
lint=$(lintian "$deb" 2>&1 | grep -v 'running with root privileges' || true)
echo "$lint"
if grep -q '^E: ' <<<"$lint"; then
  echo "lintian reports errors" >&2
  exit 1
fi

echo "== the install tree"
tree=$(mktemp -d /tmp/korvane-tree-XXXXXX)
DESTDIR="$tree" cmake --install build-package >/dev/null
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for f in usr/bin/telmaris-host usr/bin/korvane-dbtool "usr/lib/$arch/telmaris/libtelmaris_host.so" \
         "usr/lib/$arch/telmaris/modules/libkorvane.so" usr/share/korvane/schema/sqlite.sql \
         usr/share/applications/telmaris-host.desktop etc/xdg/telmaris/host.ini; do
  [[ -e "$tree/$f" ]] || { echo "missing in the install tree: $f" >&2; exit 1; }
done
rm -rf "$tree"

echo "== install"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "$deb" >/dev/null ||
  { apt-get update -qq && apt-get install -y -qq "$deb" >/dev/null; }
user=korvane-op
id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
rm -rf "$home/korvane" "$home/Downloads" "$home/.config/telmaris"
install -d -o "$user" -g "$user" "$home/korvane" "$home/korvane/ftp/orders" "$home/korvane/shots"
install -m 0644 tests/fixtures/ftp_server.py scripts/host-ini.sh "$home/korvane/"
cleanup() {
  pkill -u "$user" -f ftp_server.py 2>/dev/null || true
  apt-get remove -y -qq telmaris-korvane >/dev/null 2>&1 || true
}
trap cleanup EXIT

as_user() { runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }
as_user bash -s <<'USER'
set -euo pipefail
cd "$HOME/korvane"
db="$HOME/korvane/korvane.db"
korvane-dbtool --conn "Provider=SQLite;Data Source=$db" \
  --script /usr/share/korvane/schema/sqlite.sql \
  --exec "insert into xg.sys_base_type values('RES_DOWNLOAD_PATH@DOWN_TYPE','1','合同')"
/usr/bin/python3 ftp_server.py --root "$HOME/korvane/ftp" --user operator --password korvane \
  > ftp.port 2>ftp.log &
for _ in $(seq 100); do grep -q '^PORT ' ftp.port 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/^PORT //p' ftp.port)
mkdir -p "$HOME/.config/telmaris"
bash host-ini.sh "Provider=SQLite;Data Source=$db" "$port" > "$HOME/.config/telmaris/host.ini"
chmod 600 "$HOME/.config/telmaris/host.ini"
sample="$HOME/korvane/site-sample.txt"
head -c 300000 /dev/urandom | base64 > "$sample"
export XDG_RUNTIME_DIR="$HOME/korvane/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
xvfb-run -a -s "-screen 0 1280x800x24" telmaris-host --tour "$sample" --screenshot "$HOME/korvane/shots"
cmp "$sample" "$HOME/Downloads/1024_site-sample.txt"
echo "the tour's file came back byte-identical in $HOME/Downloads"
USER

echo "== remove"
files=$(dpkg -L telmaris-korvane | grep -v '^/etc' || true)
apt-get remove -y -qq telmaris-korvane >/dev/null
left=()
for f in $files; do
  [[ -f "$f" || -L "$f" ]] && left+=("$f")
done
if ((${#left[@]})); then
  echo "left behind after removal: ${left[*]}" >&2
  exit 1
fi
echo "removed; nothing of the package is left outside /etc"
apt-get purge -y -qq telmaris-korvane >/dev/null 2>&1 || true  # and its conffile, for later runs
