#!/usr/bin/env bash
# Pictures of the main window after a run (summary line, report button,
# code-page notice) and of the unmapped values window, drawn on a virtual X
# display into OUT_DIR (default: shots/ under the build folder).
#   scripts/extras_screenshots.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-${BUILD_DIR:-build}}
OUT_DIR=${2:-$BUILD_DIR/shots}
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DVELT_GUI=ON -DVELT_BENCH=OFF
fi
cmake --build "$BUILD_DIR" --target extras_gui_test
mkdir -p "$OUT_DIR"
OUT_DIR=$(cd "$OUT_DIR" && pwd)
# The screenshot case is kept out of the ordinary runs (DISABLED_ prefix).
VELT_SHOT_DIR="$OUT_DIR" QT_QPA_PLATFORM=xcb \
  xvfb-run --auto-servernum --server-args="-screen 0 1280x800x24" \
  "$BUILD_DIR/tests/extras_gui_test" \
  --gtest_also_run_disabled_tests --gtest_filter='ExtrasTest.DISABLED_Screenshots'
ls -l "$OUT_DIR"/extras_*.png
