#!/usr/bin/env bash
# Builds the fuzz targets with clang in BUILD_DIR (default build/fuzz) and runs
# each for FUZZ_SECONDS (default 60), starting from the seeds in corpus/<target>.
# New inputs go to BUILD_DIR/corpus/<target>, never into the seeds; a crash, a
# failed check, a leak or a hang is kept in BUILD_DIR/findings/ and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build/fuzz}
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
JOBS=${JOBS:-2}
TARGETS=(rsptask parsemachinetype readnumber formatpattern legacystatusword)

if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S fuzz -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD_DIR" -j "$JOBS"

mkdir -p "$BUILD_DIR/findings"
failed=()
for target in "${TARGETS[@]}"; do
  work="$BUILD_DIR/corpus/$target"
  mkdir -p "$work"
  echo "== fuzz_$target for ${FUZZ_SECONDS}s"
  if ! "$BUILD_DIR/fuzz_$target" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$BUILD_DIR/findings/$target-" \
      "$work" "fuzz/corpus/$target" >"$BUILD_DIR/$target.log" 2>&1; then
    failed+=("$target")
    grep -E 'FUZZ_CHECK|ERROR|runtime error|SUMMARY|^  ' "$BUILD_DIR/$target.log" | head -20 || true
    echo "fuzz_$target: FINDING (log $BUILD_DIR/$target.log, input in $BUILD_DIR/findings/)"
  else
    grep -E '^Done|stat::number_of_executed_units' "$BUILD_DIR/$target.log" | head -1 || true
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found problems in: ${failed[*]}"
  exit 1
fi
echo "Fuzzing: no findings in ${#TARGETS[@]} targets."
