#!/usr/bin/env bash
# Checks that the manual pages and the README name every option that the programs' --help lists,
# and no option that it does not. Usage: check-manpages.sh <telmaris-host> <korvane-dbtool>
# <telmaris-host.1[.gz]> <korvane-dbtool.1[.gz]> [README.md]
set -euo pipefail
(($# >= 4)) || { echo "usage: $0 host dbtool host.1 dbtool.1 [README.md]" >&2; exit 2; }
host=$1 dbtool=$2 host_page=$3 dbtool_page=$4 readme=${5:-}

# The long options of a program's --help, one a line, sorted.
help_options() {
  env -u DISPLAY QT_QPA_PLATFORM=offscreen "$1" --help 2>/dev/null | grep -oE '^  (-[a-zA-Z], )?--[a-z-]+' |
    grep -oE -- '--[a-z-]+' | sort -u
}
# The long options that a page's OPTIONS section describes (its .TP headings), sorted.
page_options() {
  zcat -f "$1" | sed -n '/^\.SH OPTIONS/,/^\.SH /p' | grep -A1 '^\.TP' | grep -v '^\.TP' |
    sed 's/\\-/-/g' | grep -oE -- '--[a-z-]+' | sort -u
}

status=0
check() {
  local program=$1 page=$2 name
  name=$(basename "$program")
  if ! diff <(help_options "$program") <(page_options "$page") >/tmp/korvane-manpage-diff.$$; then
    echo "$page and $name --help differ (< only in --help, > only in the page):" >&2
    cat /tmp/korvane-manpage-diff.$$ >&2
    status=1
  fi
  if [[ -n $readme ]]; then
    for option in $(help_options "$program"); do
      case $option in --help | --help-all | --version) continue ;; esac
      grep -q -- "$option" "$readme" || { echo "README.md does not mention $name $option" >&2; status=1; }
    done
  fi
  rm -f /tmp/korvane-manpage-diff.$$
}
check "$host" "$host_page"
check "$dbtool" "$dbtool_page"
((status == 0)) && echo "the manual pages${readme:+ and the README} agree with --help"
exit "$status"
