#!/usr/bin/env bash
# Pictures of the windows for a person to look at, drawn on a virtual X
# server (Xvfb):
#
#   scripts/screenshots.sh [--build DIR] [--out DIR] [main] [compose] [editor] [extras]
#
#   main     the main window's tour over a copy of the sample application
#            folder: idle, during and after a run of the sample archive, the
#            log view, the settings window, the mapping menu, the folder
#            dialog, a message, the mapping editor, the composition window
#            (tools/gui/window_tour.cpp); the operator's guide shows some of
#            them, taken from the Windows program by scripts/guide_pictures.sh
#   compose  the composition window: empty, with the name missing, with
#            entries listed, during a join, with a message
#   editor   the mapping editor for kinds 1 and 5 with the PAVK drop-down
#            open, and for kind 1 with the list filtered by typed text
#   extras   the main window after a run (summary line, report button,
#            code-page notice) and the unmapped values window
#
# Without a name, all four. --build defaults to build, --out to
# screenshots/ under the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=build
OUT=
parts=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) BUILD_DIR=$2; shift 2 ;;
    --out) OUT=$2; shift 2 ;;
    main | compose | editor | extras) parts+=("$1"); shift ;;
    *) echo "usage: scripts/screenshots.sh [--build DIR] [--out DIR] [main] [compose] [editor] [extras]" >&2; exit 2 ;;
  esac
done
[ ${#parts[@]} -gt 0 ] || parts=(main compose editor extras)
OUT=$(realpath -m "${OUT:-$BUILD_DIR/screenshots}")
mkdir -p "$OUT"

if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DVELT_GUI=ON -DVELT_BENCH=OFF >/dev/null
fi
targets=()
for part in "${parts[@]}"; do
  case "$part" in
    main) targets+=(velt_window_tour) ;;
    compose) targets+=(file_list_gui_test) ;;
    editor) targets+=(mapping_editor_gui_test) ;;
    extras) targets+=(extras_gui_test) ;;
  esac
done
cmake --build "$BUILD_DIR" --target "${targets[@]}"
BUILD_DIR=$(realpath "$BUILD_DIR")

# One window test program's screenshot case.
shoot_test() {  # program, test case
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$BUILD_DIR/tests/$1" --gtest_filter="$2" --screenshots="$OUT"
}

shoot_main() {
  local work
  work=$(mktemp -d /tmp/veltconv-shots.XXXXXX)
  cp -r data/sample/app "$work/app"
  mkdir -p "$work/out"
  # The window opens with the sample archive and the output folder chosen
  # (the ini file is named after the program that runs).
  printf '[VELT_CONV]\r\nvelt_file_Caption=%s\r\noutdirpath_Caption=%s\r\nlbCodePage_Caption=OEM\r\n' \
    "$ROOT/data/sample/archives/F1232401.DBF" "$work/out" >"$work/app/velt_window_tour.ini"
  # Instructions in rich text, read from the current folder.
  iconv -f UTF-8 -t CP1251 tools/gui/station_instructions.rtf >"$work/BottomMesg.txt"
  local status=0
  (cd "$work" && xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$BUILD_DIR/tools/velt_window_tour" --app-dir "$work/app" "$OUT") || status=$?
  rm -rf "$work"
  return $status
}

for part in "${parts[@]}"; do
  case "$part" in
    main) shoot_main ;;
    compose) shoot_test file_list_gui_test 'FileListTest.Screenshots' ;;
    editor) shoot_test mapping_editor_gui_test 'MappingEditorTest.Screenshots' ;;
    extras) shoot_test extras_gui_test 'ExtrasTest.Screenshots' ;;
  esac
done
ls -1 "$OUT"/*.png
