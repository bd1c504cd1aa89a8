#!/bin/bash
# Brings translations/korvane_en.ts up to date with the sources, as the translations test reads
# them; new texts come in unfinished, to be translated by hand. Run from the repository root
# after a build in build-normal.
set -euo pipefail
cmd=$(ctest --test-dir build-normal -R '^translations$' -V -N 2>/dev/null |
      sed -n 's/^.*Test command: //p' | head -1)
eval "set -- $cmd"
shift 2  # python3, the checker
lupdate=$1 ts=$2
shift 2
options=() sources=()
while [ "$1" != "--" ]; do options+=("$1"); shift; done
shift
"$lupdate" "${options[@]}" "$@" -ts "$ts"
