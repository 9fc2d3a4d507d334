#!/usr/bin/env bash
# Builds the benchmarks and runs them all; each prints its figures.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-bench}
BUILD_DIR=$BUILD_DIR scripts/setup.sh -DCMAKE_BUILD_TYPE=Release -DVELT_BENCH=ON -DVELT_GUI=OFF -DVELT_TESTS=OFF
for b in "$BUILD_DIR"/bench/*_bench; do
  echo "== $(basename "$b")"
  "$b" --benchmark_repetitions=${REPETITIONS:-3} --benchmark_report_aggregates_only=true
done
echo "== conversion end to end"
bench/conversion_bench.sh "$BUILD_DIR"
# The log view needs the windows: it comes from the ordinary build.
GUI_BUILD_DIR=${GUI_BUILD_DIR:-build}
echo "== log view ($GUI_BUILD_DIR)"
if [ -f "$GUI_BUILD_DIR/build.ninja" ] && cmake --build "$GUI_BUILD_DIR" --target log_view_bench >/dev/null; then
  "$GUI_BUILD_DIR/bench/log_view_bench" "${REPETITIONS:-3}"
else
  echo "not built: configure $GUI_BUILD_DIR with the windows (scripts/setup.sh)"
fi
