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
