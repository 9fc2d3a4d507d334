#!/usr/bin/env bash
# The Windows program with its windows, under wine as an operator uses it:
# started from a program folder whose path holds Cyrillic letters, it
# converts the sample archive through the main window (a click on
# "Конвертировать файл ВЕЛТ") and its tables, indexes and log lines must
# equal the Linux program's (scripts/compare_runs.py); then the mapping
# editor is opened from the menu. Screenshots land in SHOTS_DIR for a person
# to look at.
#
#   scripts/windows_gui_test.sh LINUX_VELTCONV WINDOWS_VELTCONV_EXE SHOTS_DIR
#
#   VELT_GUI_SCREEN       the screen (default 1366x768)
#   VELT_GUI_PROGRAM_DIR  an installed program folder to run instead of a
#                         copy of the .exe (the sample's tables are put in it)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 3 ]; then
  echo "usage: $0 LINUX_VELTCONV WINDOWS_VELTCONV_EXE SHOTS_DIR" >&2
  exit 2
fi
ROOT=$PWD
linux_exe=$(realpath "$1")
windows_exe=$(realpath "$2")
shots=$(realpath -m "$3")
export WINEPREFIX=${WINEPREFIX:-$(dirname "$windows_exe")/wineprefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
. scripts/wine_desktop.sh

work=$(mktemp -d /tmp/veltconv-gui.XXXXXX)
cleanup_work() { desktop_stop; rm -rf "$work"; }
out="вывод"
program=${VELT_GUI_PROGRAM_DIR:-"$work/windows/Станция ВЕЛТ"}
mkdir -p "$work/linux/archives" "$work/linux/$out" "$work/windows/archives" "$work/windows/$out"
cp -r data/sample/app "$work/linux/app"
cp data/sample/archives/F1232401.DBF "$work/linux/archives/"
cp data/sample/archives/F1232401.DBF "$work/windows/archives/"
# The window works in its own folder: the program, its tables, log and ini.
mkdir -p "$program"
cp -r data/sample/app/. "$program/"
[ -n "${VELT_GUI_PROGRAM_DIR:-}" ] || cp "$windows_exe" "$program/veltconv.exe"
# The window opens with the archive and the output folder of the last
# session, as an operator's ini file holds them (Windows-1251, CR LF).
/usr/bin/python3 - "$work/windows" "$program/veltconv.ini" "$out" <<'PY'
import sys
root, ini, out = sys.argv[1:]
windows = lambda p: "Z:" + p.replace("/", "\\")
text = ("[VELT_CONV]\r\nvelt_file_Caption=%s\r\noutdirpath_Caption=%s\r\nlbCodePage_Caption=OEM\r\n"
        % (windows(root + "/archives/F1232401.DBF"), windows(root + "/" + out)))
open(ini, "wb").write(text.encode("cp1251"))
PY

(cd "$work/linux" && "$linux_exe" convert archives/F1232401.DBF --out "$out" --app-dir app --code-page OEM \
  >stdout.txt)

# The screen's scale as Windows sets it, in dots per inch (96 is 100%).
dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -w
}
dpi 96
desktop_start "${VELT_GUI_SCREEN:-1366x768}" "$shots"
trap cleanup_work EXIT
(cd "$program" && exec wine veltconv.exe >"$work/windows/stdout.txt" 2>&1) &
program_pid=$!
main=$(window_wait "Конвертер архивных файлов ВЕЛТ" 120)
sleep 1  # the first paint
shot main-start

# The start button is the first of the command row. The window's rows hang
# from its top, so the row keeps its distance from the top whatever the
# window's height (measured at 100% scale under wine's default fonts).
click "$main" "${VELT_CONVERT_X:-128}" "${VELT_CONVERT_Y:-235}"
done_line() {
  iconv -f CP1251 -t UTF-8 "$program/veltconv.log" | grep -q "Конвертация файла .* успешно завершена"
}
wait_until 180 "the run to complete (event log)" done_line
sleep 1
shot main-after-run

# The results of the window's run beside those of the Linux program.
mkdir -p "$work/windows/app"
cp -r "$program/indexes" "$program/veltconv.log" "$work/windows/app/"
/usr/bin/python3 scripts/compare_runs.py "$work/linux" "$work/windows" "$out"

# The mapping editor from the menu "Перекодировка классификаторов", first item.
click "$main" "${VELT_MAPPING_MENU_X:-170}" "${VELT_MAPPING_MENU_Y:-17}"
sleep 1
shot mapping-menu
click "$main" "${VELT_MAPPING_ITEM_X:-325}" "${VELT_MAPPING_ITEM_Y:-45}"
editor=$(window_wait "Перекодировка классификатора|Ведение связок" 60)
sleep 1
shot mapping-editor
close_window "$editor"
wait_until 30 "the mapping editor to close" window_gone "Перекодировка классификатора|Ведение связок"
close_window "$main"
wait_until 60 "veltconv.exe to end when its main window closes" process_gone "$program_pid"

# Restarted at 125% (120 dots per inch, as Windows sets it): the window must
# come back whole on the screen, with the last session's choices.
dpi 120
trap 'cleanup_work; dpi 96' EXIT
(cd "$program" && exec wine veltconv.exe >>"$work/windows/stdout.txt" 2>&1) &
program_pid=$!
main=$(window_wait "Конвертер архивных файлов ВЕЛТ" 120)
sleep 1
shot main-125
# xwininfo gives the client's place on the screen (xdotool's position is
# off by the frame under a reparenting window manager).
read -r x y width height < <(xwininfo -id "$main" |
  awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF} /Width:/ {w = $NF}
       /Height:/ {h = $NF} END {print x, y, w, h}')
read -r screen_w screen_h < <(xdotool getdisplaygeometry)
[ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + width)) -le "$screen_w" ] && [ $((y + height)) -le "$screen_h" ] ||
  desktop_fail "at 125% the main window (${width}x${height} at $x,$y) leaves the ${screen_w}x${screen_h} screen"
close_window "$main"
wait_until 60 "veltconv.exe to end at 125%" process_gone "$program_pid"
echo "Windows window run: converted through the main window, mapping editor opened, restarted at 125%; screenshots in $shots"
