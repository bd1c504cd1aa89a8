#!/usr/bin/env bash
# The main job: installs what is missing, builds, prepares the embedded default (an SQLite
# database, operator names, a host configuration and a local FTP server on loopback) under a data
# folder of the user's, and opens the host with the korvane window.
# Without a display it runs under xvfb-run, tours the window (upload, search, download of a sample
# file) in Chinese and in English, saves a screenshot of each step (the last under a dark theme)
# in screenshots/zh_CN and screenshots/en, and exits 0 only if the file came back
# byte-identical both times.
#
#   bash scripts/run-main.sh            data in ${KORVANE_DATA:-~/.local/share/korvane-demo}
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh run
cmake --preset normal >/dev/null
cmake --build build-normal --parallel "$(nproc)" >/dev/null

data=${KORVANE_DATA:-${XDG_DATA_HOME:-$HOME/.local/share}/korvane-demo}
mkdir -p "$data/ftp/orders" "$data/screenshots" "$data/runtime"
chmod 700 "$data/runtime"
db="$data/korvane.db"
conn="Provider=SQLite;Data Source=$db"
tool="$root/build-normal/db/korvane-dbtool"

if [[ ! -f "$db" ]]; then
  "$tool" --conn "$conn" --script db/schema/sqlite.sql \
    --exec "insert into xg.sys_base_type values('RES_DOWNLOAD_PATH@DOWN_TYPE','1','合同')" \
    --exec "insert into xg.sys_base_type values('RES_DOWNLOAD_PATH@DOWN_TYPE','2','身份证复印件')" \
    --exec "insert into xg.sys_base_type values('RES_DOWNLOAD_PATH@DOWN_TYPE','3','营业执照')" \
    --exec "insert into xg.sys_base_type values('RES_DOWNLOAD_PATH@DOWN_TYPE','4','授权委托书')"
  echo "created the database $db"
fi

# The local FTP server, stopped when this script ends.
portfile="$data/runtime/ftp.port"
rm -f "$portfile"
# The tour's server moves 200 KB a second, so that the download's progress dialog can be seen.
pace=()
[[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]] || pace=(--slow-data 200000)
/usr/bin/python3 tests/fixtures/ftp_server.py --root "$data/ftp" --user operator --password korvane \
  "${pace[@]}" > "$portfile" 2>"$data/runtime/ftp.log" &
ftp_pid=$!
trap 'kill $ftp_pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q '^PORT ' "$portfile" 2>/dev/null && break
  sleep 0.1
done
port=$(sed -n 's/^PORT //p' "$portfile")
[[ -n "$port" ]] || { echo "the local FTP server did not start; see $data/runtime/ftp.log" >&2; exit 1; }

config="$data/host.ini"
bash scripts/host-ini.sh "$conn" "$port" > "$config"

host=(build-normal/host/app/telmaris-host --config "$config"
      --module build-normal/ModuleTemplate/libkorvane.so)
export XDG_RUNTIME_DIR="$data/runtime"
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  echo "FTP server on 127.0.0.1:$port (root $data/ftp), database $db"
  "${host[@]}"
else
  sample="$data/sample-contract.txt"
  printf '申请单 1024 合同扫描件\n%s\n' "$(date -u)" > "$sample"
  head -c 200000 /dev/urandom | base64 >> "$sample"
  # Both languages, each tour ending with a picture under a dark theme.
  for language in zh_CN en; do
    xvfb-run -a -s "-screen 0 1280x800x24" "${host[@]}" --language "$language" \
      --tour "$sample" --screenshot "$data/screenshots/$language"
  done
fi
