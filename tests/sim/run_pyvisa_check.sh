#!/usr/bin/env bash
# Starts psu-sim on a pseudo-terminal with a symbolic link to it, runs the
# PyVISA check against the link, stops the simulator and checks that the
# link went away with it.
# Usage: run_pyvisa_check.sh PSU_SIM PYTHON SCRIPT
set -euo pipefail
sim=$1 python=$2 script=$3

dir=$(mktemp -d)
link="$dir/psu"
mkfifo "$dir/out"
"$sim" --link "$link" --no-noise --control none >"$dir/out" &
sim_pid=$!
cleanup() {
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT

exec 3<"$dir/out"
if ! read -r -t 10 first <&3; then
  echo "psu-sim printed no address" >&2
  exit 1
fi
echo "psu-sim on $first (link $link)"

"$python" "$script" "$link"

kill -TERM "$sim_pid"
wait "$sim_pid"
if [ -L "$link" ]; then
  echo "link $link left behind" >&2
  exit 1
fi
echo "pyvisa check passed"
