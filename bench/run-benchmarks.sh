#!/usr/bin/env bash
# Runs every benchmark program of a build and prints their figures, one a
# line: name, measured value, reference, ratio, goal, PASS/MISS (INFO where no
# goal applies). Each program's diagnostics go to BUILD_DIR/bench/NAME.log.
# The whole output is also kept in BUILD_DIR/bench/results.txt.
# Usage: run-benchmarks.sh BUILD_DIR
set -uo pipefail
build=${1:-build/release}
bin="$build/bin"
out="$build/bench"
mkdir -p "$out"
results="$out/results.txt"

runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime"
export QT_QPA_PLATFORM=offscreen

status=0
{
  echo "# qle benchmarks, $(date '+%Y-%m-%d %H:%M %Z')"
  echo "# host $(hostname), $(nproc) cores (nproc), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(free -g | awk '/^Mem:/ {print $2}') GiB"
  echo "# load before: $(cut -d' ' -f1-3 /proc/loadavg); build: $(grep -m1 CMAKE_BUILD_TYPE "$build/CMakeCache.txt" | cut -d= -f2)"
} | tee "$results"

for program in bench_comm bench_recording bench_graph bench_startup bench_mainwindow bench_mainwindow_day bench_live; do
  echo | tee -a "$results"
  if [ "$program" = bench_graph ] && [ ! -x "$bin/$program" ]; then
    # Built on its own, and only when the export and graph code compile.
    {
      echo "== recorder export and graph: bench_graph did not build"
      printf '%-46s n/a (bench_graph not built)\n' "CSV export, 33,000 rows" \
        "graph ReDraw, 6 x 33,000 points" "graph: add one stored point at 33,000"
    } | tee -a "$results"
    continue
  fi
  start=$(date +%s)
  command=("$bin/$program")
  # The resident memory of a day-long record, measured in a process of its own.
  [ "$program" = bench_mainwindow_day ] && command=("$bin/bench_mainwindow" --memory-only --rows 86400)
  "${command[@]}" 2>"$out/$program.log" | tee -a "$results"
  rc=${PIPESTATUS[0]}
  echo "    ($program: $(( $(date +%s) - start )) s, exit $rc)" | tee -a "$results"
  if [ "$rc" -ne 0 ]; then
    status=1
    echo "    $program failed; last lines of $out/$program.log:" | tee -a "$results"
    tail -n 20 "$out/$program.log" | sed 's/^/    | /' | tee -a "$results"
  fi
done

echo | tee -a "$results"
passed=$(grep -c '| PASS' "$results")
missed=$(grep -c '| MISS' "$results")
echo "benchmarks: $passed goals met, $missed missed (results in $results)" | tee -a "$results"
exit $status
