#!/usr/bin/env bash
# Starts the virtual instrument on a pseudo-terminal, then the program
# connected to it (the port is also offered in the serial port list). Stops
# the instrument on exit.
set -euo pipefail
build_dir=${1:-build/debug}
sim="$build_dir/bin/psu-sim"
app="$build_dir/bin/qle"
link="${XDG_RUNTIME_DIR:-/tmp}/qle-virtual-psu"

args=()
if [ -x "$sim" ]; then
  out=$(mktemp)
  # shellcheck disable=SC2086
  "$sim" --link "$link" ${SIM_ARGS:-} >"$out" &
  sim_pid=$!
  trap 'kill $sim_pid 2>/dev/null || true; rm -f "$out"' EXIT
  for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
  slave=$(head -n 1 "$out")
  echo "Virtual instrument on $slave (also $link)"
  args+=(--connect "$link")
fi

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found; running under xvfb-run."
  exec_prefix=(xvfb-run -a)
else
  exec_prefix=()
fi
"${exec_prefix[@]}" "$app" "${args[@]}" "$@"
