#!/usr/bin/env bash
# Pictures of the windows, for a look at them: the program runs on a virtual
# X server over a copy of the sample application folder, converts the sample
# archive and saves a picture of each state (idle, during the run, after it,
# log view, settings window, mapping menu, folder dialog, message box).
#
#   scripts/screenshots.sh [OUTPUT_DIR]      (default: screenshots/)
#   BUILD_DIR=build-x scripts/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=$(realpath "${BUILD_DIR:-build}")
OUT=$(realpath -m "${1:-screenshots}")
WORK=$(mktemp -d /tmp/veltconv-shots.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

cp -r data/sample/app "$WORK/app"
mkdir -p "$WORK/out" "$OUT"
# The window opens with the sample archive and the output folder chosen.
printf '[VELT_CONV]\r\nvelt_file_Caption=%s\r\noutdirpath_Caption=%s\r\nlbCodePage_Caption=OEM\r\n' \
  "$ROOT/data/sample/archives/F1232401.DBF" "$WORK/out" >"$WORK/app/veltconv.ini"
# Instructions in rich text, read from the current folder.
iconv -f UTF-8 -t CP1251 >"$WORK/BottomMesg.txt" <<'RTF'
{\rtf1\ansi\ansicpg1251\deff0{\fonttbl{\f0 Arial;}}
\pard\qc\b\fs26 Загрузка промежуточных файлов в ТОРАН\b0\par
\pard\fs22 1. Скопируйте файлы t*.DBF и te*.DBF из каталога выгрузки в каталог импорта ТОРАН.\par
2. Загрузите сначала файл t*.DBF (жители области), затем te*.DBF (иногородние).\par
3. Откройте журнал кнопкой \i «Открыть журнал»\i0  и исправьте в ВЕЛТ вызовы, о которых он сообщает.\par
}
RTF

(cd "$WORK" && xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$BUILD_DIR/veltconv" --app-dir "$WORK/app" --screenshot-tour "$OUT")
echo "Pictures in $OUT"
