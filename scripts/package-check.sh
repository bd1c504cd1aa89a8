#!/usr/bin/env bash
# Checks the Debian package as a site would use it: builds it, lints it (lintian -I --pedantic:
# any tag fails, but those that packaging/lintian-overrides justifies), checks every ELF file's
# hardening, installs it with apt, checks --version and the manual pages against --help, runs the
# installed telmaris-host headless as an ordinary user with a home of its own (the tour uploads,
# searches and downloads a sample file, which must come back byte-identical in that user's
# download folder), removes the package and checks that nothing of it is left outside /etc.
# Needs root. Leaves the machine as it found it but for the group "telmaris", which the package
# creates and Debian's custom keeps: the user "korvane-op" and the FTP server it starts are gone
# at the end, the package is purged.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run
deb=$(bash scripts/package.sh)
ddeb=$(ls "$(dirname "$deb")"/telmaris-korvane-dbgsym_*.ddeb)
echo "== package $deb"
echo "== lintian -I --pedantic"
lint_status=0
lint=$(lintian -I --pedantic --fail-on error,warning,info,pedantic "$deb" "$ddeb" 2>&1) ||
  lint_status=$?
grep -v 'running with root privileges' <<<"$lint" || true
((lint_status == 0)) || { echo "lintian reports tags" >&2; exit 1; }

echo "== hardening-check"
x=$(mktemp -d /tmp/korvane-deb-XXXXXX)
dpkg-deb -x "$deb" "$x"
elves=$(find "$x" -type f -exec sh -c 'file -b "$1" | grep -q "^ELF"' _ {} \; -print | sort)
[[ -n $elves ]] || { echo "no ELF file in the package" >&2; exit 1; }
# Control flow integrity (IBT/SHSTK) is not among Debian 12's build flags, and the start files of
# its C library lack the marking, so the linker drops it whatever we compile with.
# shellcheck disable=SC2086
hardening-check --nocfprotection $elves
rm -rf "$x"

echo "== the install tree"
tree=$(mktemp -d /tmp/korvane-tree-XXXXXX)
DESTDIR="$tree" cmake --install build-package >/dev/null
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for f in usr/bin/telmaris-host usr/bin/korvane-dbtool "usr/lib/$arch/telmaris/libtelmaris_host.so" \
         "usr/lib/$arch/telmaris/modules/libkorvane.so" usr/share/korvane/schema/sqlite.sql \
         usr/share/applications/telmaris-host.desktop etc/xdg/telmaris/host.ini \
         usr/share/man/man7/korvane.7.gz usr/share/doc/telmaris-korvane/README.md.gz \
         usr/share/doc/telmaris-korvane/examples/passive-nat.ini; do
  [[ -e "$tree/$f" ]] || { echo "missing in the install tree: $f" >&2; exit 1; }
done
rm -rf "$tree"

echo "== install"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "$deb" >/dev/null ||
  { apt-get update -qq && apt-get install -y -qq "$deb" >/dev/null; }
getent group telmaris >/dev/null || { echo "the package made no group telmaris" >&2; exit 1; }
version=$(dpkg-query -W -f='${Version}' telmaris-korvane)
for program in telmaris-host korvane-dbtool; do
  got=$(env -u DISPLAY "$program" --version)
  [[ $got == "$program $version" ]] || { echo "$program --version: $got, not $version" >&2; exit 1; }
done
bash scripts/check-manpages.sh /usr/bin/telmaris-host /usr/bin/korvane-dbtool \
  /usr/share/man/man1/telmaris-host.1.gz /usr/share/man/man1/korvane-dbtool.1.gz

user=korvane-op
home=$(mktemp -d /tmp/korvane-op-XXXXXX)
rmdir "$home"
cleanup() {
  if [[ -s $home/korvane/ftp.pid ]]; then kill "$(cat "$home/korvane/ftp.pid")" 2>/dev/null || true; fi
  if id "$user" >/dev/null 2>&1; then userdel --remove "$user" 2>/dev/null || true; fi
  rm -rf "$home"
  apt-get purge -y -qq telmaris-korvane >/dev/null 2>&1 || true
}
trap cleanup EXIT
if id "$user" >/dev/null 2>&1; then
  echo "removing the user $user that an earlier run left behind"
  userdel --remove "$user" 2>/dev/null || true
fi
useradd --create-home --home-dir "$home" --shell /bin/bash "$user"
install -d -o "$user" -g "$user" "$home/korvane" "$home/korvane/ftp/orders" "$home/korvane/shots"
install -m 0644 tests/fixtures/ftp_server.py scripts/host-ini.sh "$home/korvane/"

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
echo $! > ftp.pid
trap 'kill "$(cat ftp.pid)" 2>/dev/null || true' EXIT
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
