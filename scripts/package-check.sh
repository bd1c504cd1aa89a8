#!/usr/bin/env bash
# Checks the Debian packages as a site would use them: builds them with debhelper (source and
# binaries), lints them (lintian -I --pedantic: any tag fails), checks every ELF file's
# hardening, then upgrades from the previous release's package (scripts/previous-package.sh:
# built in this run from the last commit of another version, with that commit's scripts) with
# apt-get -y and no terminal: once with the machine file as that release shipped it (it goes),
# once with a site-edited one (it stays, byte for byte, mode and group too). Then it checks
# --version and the manual pages against --help, runs the installed telmaris-host headless as an
# ordinary user who reads the machine's file through the group telmaris and has an own file with
# its operator (the tour uploads, searches and downloads a sample file, which must come back
# byte-identical), runs korvane-dbtool --check as that user's cron job would, purges the package,
# and checks that nothing of it is left and that the site's file is; then purges once more with
# the debconf answer that asks a purge to take the site's file too.
# Needs root. Leaves the machine as it found it but for the group "telmaris", which the package
# creates and Debian's custom keeps: the user "korvane-op", the FTP server it starts and the
# site file the check wrote are gone at the end, the package is purged.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run
deb=$(bash scripts/package.sh)
out=$(dirname "$deb")
version=$(dpkg-parsechangelog -S Version)
dbgsym=$(ls "$out"/telmaris-korvane-dbgsym_*.deb)
dsc=$out/telmaris-korvane_$version.dsc
echo "== packages: $dsc $deb $dbgsym"

echo "== lintian -I --pedantic"
lint_status=0
lint=$(lintian -I --pedantic --fail-on error,warning,info,pedantic "$dsc" "$deb" "$dbgsym" 2>&1) ||
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
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for f in usr/bin/telmaris-host usr/bin/korvane-dbtool "usr/lib/$arch/telmaris/libtelmaris_host.so" \
         "usr/lib/$arch/telmaris/modules/libkorvane.so" usr/share/korvane/schema/sqlite.sql \
         usr/share/applications/telmaris-host.desktop usr/share/man/man7/korvane.7.gz \
         usr/share/doc/telmaris-korvane/changelog.gz usr/share/doc/telmaris-korvane/README.md.gz \
         usr/share/doc/telmaris-korvane/examples/host.ini; do
  [[ -e "$x/$f" ]] || { echo "missing in the package: $f" >&2; exit 1; }
done
[[ ! -e $x/etc ]] || { echo "the package ships files in /etc: $(find "$x/etc" -type f)" >&2; exit 1; }
rm -rf "$x"

echo "== the previous release"
previous=$(bash scripts/previous-package.sh)
read -r previous_version old_deb <<<"$previous"
echo "$previous_version: $old_deb"

user=korvane-op
home=$(mktemp -d /tmp/korvane-op-XXXXXX)
rmdir "$home"
machine=/etc/xdg/telmaris/host.ini
cleanup() {
  if [[ -s $home/korvane/ftp.pid ]]; then kill "$(cat "$home/korvane/ftp.pid")" 2>/dev/null || true; fi
  if id "$user" >/dev/null 2>&1; then userdel --remove "$user" 2>/dev/null || true; fi
  rm -rf "$home"
  apt-get purge -y -qq telmaris-korvane >/dev/null 2>&1 || true
  rm -f "$machine"
  rmdir /etc/xdg/telmaris 2>/dev/null || true
}
trap cleanup EXIT
[[ ! -e $machine ]] || { echo "$machine exists already: this check would change a site" >&2; exit 1; }

export DEBIAN_FRONTEND=noninteractive
apt_install() {
  # apt-get -y with no terminal, as a site's unattended upgrade runs it: a prompt fails it.
  apt-get install -y -qq "$1" </dev/null >/dev/null ||
    { apt-get update -qq && apt-get install -y -qq "$1" </dev/null >/dev/null; }
}
installed_version() { dpkg-query -W -f='${db:Status-Abbrev}${Version}' telmaris-korvane; }

echo "== upgrade from $previous_version, the machine file as it shipped"
apt_install "$old_deb"
[[ -f $machine ]] || { echo "$previous_version installed no $machine" >&2; exit 1; }
apt_install "$deb"
[[ $(installed_version) == "ii $version" ]] || { echo "not configured: $(installed_version)" >&2; exit 1; }
[[ ! -e $machine ]] || { echo "the shipped comments stayed in $machine" >&2; exit 1; }
apt-get purge -y -qq telmaris-korvane >/dev/null

echo "== upgrade from $previous_version, the machine file edited by the site"
apt_install "$old_deb"
# The site's machine file, as korvane(7) lays it out: what every operator shares, readable by
# root and the group telmaris only.
cat >>"$machine" <<'INI'
[SysPara]
korvane_ftp_timeout=20
korvane_ftp_mode=auto
[CodeTable285]
501=张三
502=李四
INI
chgrp telmaris "$machine"
chmod 640 "$machine"
before=$(stat -c '%a %U:%G' "$machine")$(sha256sum <"$machine")
apt_install "$deb"
[[ $(installed_version) == "ii $version" ]] || { echo "not configured: $(installed_version)" >&2; exit 1; }
after=$(stat -c '%a %U:%G' "$machine")$(sha256sum <"$machine")
[[ $after == "$before" ]] || { echo "the upgrade changed $machine: $before -> $after" >&2; exit 1; }
! dpkg-query -W -f='${Conffiles}' telmaris-korvane | grep -q "$machine" ||
  { echo "dpkg still counts $machine as the package's" >&2; exit 1; }
echo "upgraded to $version; $machine kept ($before)"

getent group telmaris >/dev/null || { echo "the package made no group telmaris" >&2; exit 1; }
for program in telmaris-host korvane-dbtool; do
  got=$(env -u DISPLAY "$program" --version)
  [[ $got == "$program $version" ]] || { echo "$program --version: $got, not $version" >&2; exit 1; }
done
bash scripts/check-manpages.sh /usr/bin/telmaris-host /usr/bin/korvane-dbtool \
  /usr/share/man/man1/telmaris-host.1.gz /usr/share/man/man1/korvane-dbtool.1.gz

if id "$user" >/dev/null 2>&1; then
  echo "removing the user $user that an earlier run left behind"
  userdel --remove "$user" 2>/dev/null || true
fi
useradd --create-home --home-dir "$home" --shell /bin/bash --groups telmaris "$user"
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
# The cron job of the README, in the manual's layout: the machine's file and the operator's.
korvane-dbtool --check --repair
USER

echo "== purge"
files=$(dpkg -L telmaris-korvane | grep -v '^/etc' || true)
apt-get purge -y -qq telmaris-korvane >/dev/null
left=()
for f in $files; do
  [[ -f "$f" || -L "$f" ]] && left+=("$f")
done
if ((${#left[@]})); then
  echo "left behind after purging: ${left[*]}" >&2
  exit 1
fi
after=$(stat -c '%a %U:%G' "$machine")$(sha256sum <"$machine")
[[ $after == "$before" ]] || { echo "the purge changed the site's $machine" >&2; exit 1; }
echo "purged; nothing of the package is left, the site's $machine is"

echo "== purge where the site asked it to take the machine's file (debconf)"
echo "telmaris-korvane telmaris-korvane/purge-site-configuration boolean true" |
  debconf-set-selections
apt_install "$deb"
apt-get purge -y -qq telmaris-korvane >/dev/null
[[ ! -e $machine ]] || { echo "the purge that the site asked for left $machine" >&2; exit 1; }
echo "purged with the site's $machine, as asked"
