#!/usr/bin/env bash
# Runs every benchmark program of a build and prints their figures, one a
# line: name, measured value, reference, ratio, goal, PASS/MISS (INFO where no
# goal applies). Each program's diagnostics go to BUILD_DIR/bench/NAME.log.
# The whole output is also kept in BUILD_DIR/bench/results.txt.
# A goal that a program should have measured and did not (it did not build,
# did not run, stopped early or printed n/a) counts as missed, with a line of
# its own, and the script then exits non-zero.
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

# The goals of each program, named as its figure lines name them, one a goal
# (a name twice for two goals of that name).
goals() {
  local rows far
  case $1 in
    bench_comm)
      printf '%s\n' "initial read, 26 queries, 9600 baud + 5 ms" "initial read, 26 queries, 9600 baud + 5 ms" \
        "per transaction, unpaced, no latency" "polling, DoQuery back to back, 9600 baud" ;;
    bench_recording)
      for rows in 33,000:30,000 86,400:86,000; do
        far=${rows#*:} rows=${rows%:*}
        printf '%s\n' "addSample at row $far" "save $rows rows as a record" "load a $rows-row record back" \
          "filter refresh, reason filter, $rows rows" "one second of recording (table, graph, database), row $far.." \
          "table recorder filter refresh, $rows rows"
      done ;;
    bench_graph)
      for rows in 33,000 86,400; do
        printf '%s\n' "CSV export, $rows rows, 3 channels" "graph ReDraw after a change, 6 x $rows, painted" \
          "load a $rows-row record back, ReDraw, painted" "record chosen in the table recorder's list, $rows, painted" \
          "record chosen in the graph recorder's list, $rows, painted" "graph: longest time length, $rows, painted" \
          "graph: add one stored point at $rows" "graph statistics list, $rows rows, one more row"
      done ;;
    bench_mainwindow) echo "idle CPU, 3-output panel open, output off" ;;
    bench_mainwindow_day) echo "VmRSS, 86,400-row record in the table recorder, a row" ;;
    bench_live)
      printf '%s\n' "reading age p95, Live 1 s, 9600 baud, 3 outputs" "CPU, Live 1 s, unpaced link, 3 outputs" \
        "engine's 10 ms tick, Live 1 s, unpaced link" "CPU, Live 0.25 s, unpaced link, 3 outputs" \
        "engine's 10 ms tick, Live 0.25 s, unpaced link" "change at the instrument to the panel, Live 0.25 s" ;;
    bench_sequence) echo "ramp step start p95, 9600 baud" ;;
  esac
}

# Prints a MISS line for every goal of program $1 without a verdict in its
# output $2; $3 says why. The number of such goals is the exit status.
unmeasured() {
  local program=$1 output=$2 why=$3 goal count
  local -A wanted=()
  local missing=0
  while IFS= read -r goal; do
    [ -n "$goal" ] || continue
    wanted[$goal]=$(( ${wanted[$goal]:-0} + 1 ))
    count=$(awk -v name="$goal " 'index($0, name) == 1 && /\| (PASS|MISS)/' "$output" | wc -l)
    if [ "$count" -lt "${wanted[$goal]}" ]; then
      printf '%-46s not measured | goal of %s | MISS  (%s)\n' "$goal" "$program" "$why"
      missing=$(( missing + 1 ))
    fi
  done < <(goals "$program")
  return $(( missing > 0 ))
}

status=0
{
  echo "# qle benchmarks, $(date '+%Y-%m-%d %H:%M %Z')"
  echo "# host $(hostname), $(nproc) cores (nproc), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(free -g | awk '/^Mem:/ {print $2}') GiB"
  echo "# load before: $(cut -d' ' -f1-3 /proc/loadavg); build: $(grep -m1 CMAKE_BUILD_TYPE "$build/CMakeCache.txt" | cut -d= -f2)"
} | tee "$results"

for program in bench_comm bench_recording bench_graph bench_startup bench_mainwindow bench_mainwindow_day bench_live \
  bench_sequence; do
  echo | tee -a "$results"
  output="$out/$program.txt"
  : > "$output"
  binary=${program%_day}
  if [ ! -x "$bin/$binary" ]; then
    # bench_graph is built on its own, and only when the export and graph code compile.
    echo "== $program: $binary did not build" | tee -a "$results"
    unmeasured "$program" "$output" "$binary did not build" | tee -a "$results"
    status=1
    continue
  fi
  start=$(date +%s)
  command=("$bin/$program")
  # The resident memory of a day-long record, measured in a process of its own.
  [ "$program" = bench_mainwindow_day ] && command=("$bin/bench_mainwindow" --memory-only --rows 86400)
  "${command[@]}" 2>"$out/$program.log" | tee "$output" | tee -a "$results"
  rc=${PIPESTATUS[0]}
  echo "    ($program: $(( $(date +%s) - start )) s, exit $rc)" | tee -a "$results"
  if [ "$rc" -ne 0 ]; then
    status=1
    echo "    $program failed; last lines of $out/$program.log:" | tee -a "$results"
    tail -n 20 "$out/$program.log" | sed 's/^/    | /' | tee -a "$results"
  fi
  why="not printed"
  [ "$rc" -ne 0 ] && why="$program exited with $rc"
  unmeasured "$program" "$output" "$why" | tee -a "$results"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
done

echo | tee -a "$results"
passed=$(grep -c '| PASS' "$results")
missed=$(grep -c '| MISS' "$results")
echo "benchmarks: $passed goals met, $missed missed (results in $results)" | tee -a "$results"
exit $status
