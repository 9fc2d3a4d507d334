#!/usr/bin/env bash
# Pictures of the composition window on a real X server (Xvfb): empty, with
# the name missing (red path label), with entries listed, during a join and
# with a message. Usage: scripts/compose_screenshots.sh [OUT_DIR]
# (default build/screenshots/compose). BUILD_DIR selects the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
OUT_DIR=$(realpath -m "${1:-$BUILD_DIR/screenshots/compose}")

if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DVELT_GUI=ON -DVELT_BENCH=OFF >/dev/null
fi
cmake --build "$BUILD_DIR" --target file_list_gui_test
mkdir -p "$OUT_DIR"
rm -f "$OUT_DIR"/*.png

VELT_SCREENSHOT_DIR="$OUT_DIR" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$BUILD_DIR/tests/file_list_gui_test" --gtest_filter='FileListTest.Screenshots'
ls -1 "$OUT_DIR"/*.png
