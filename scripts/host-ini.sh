#!/usr/bin/env bash
# Prints the host configuration of a local demonstration: the SQLite database, the FTP server on
# loopback, its account, and three operators. Usage: host-ini.sh <connection string> <ftp port>
set -euo pipefail
cat <<INI
[SysPara]
korvane_conn=$1
korvane_ip=127.0.0.1:$2
korvane_user=operator
korvane_pwd=korvane
korvane_path=/orders
korvane_ftp_mode=auto
[CodeTable285]
501=张三
502=李四
503=王五
[Session]
OperatorId=501
INI
