#!/usr/bin/env bash
# The pictures of the operator's guide, taken as a station sees the windows:
# the Windows program's window tour under wine, on a 1366x768 screen with a
# window manager, over a program folder on drive C: with the sample's tables,
# the sample archive, an output folder and the station's instructions
# (BottomMesg.txt). Every picture that the guide names is copied beside it
# (src/gui/resources/help), reduced to 64 colours.
#
#   scripts/guide_pictures.sh [WIN_BUILD_DIR]     (default build-win, built
#                                                  by scripts/windows_test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
WIN_BUILD_DIR=$(realpath "${1:-build-win}")
HELP=$ROOT/src/gui/resources/help
cmake --build "$WIN_BUILD_DIR" --target velt_window_tour
# A prefix of its own: the font set below would move the windows' controls
# under the windows lane's clicks.
export WINEPREFIX=${WINEPREFIX:-$WIN_BUILD_DIR/wineprefix-guide}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
. scripts/wine_desktop.sh
[ -f "$WINEPREFIX/system.reg" ] || { wine wineboot --init >/dev/null 2>&1 || true; wineserver -w; }
# The windows ask for Arial, which a station's Windows has; wine lacks it and
# would draw a serif face. Liberation Sans has Arial's metrics.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f \
  >/dev/null 2>&1
wineserver -w

# The folders as a station names them; C:\ВЕЛТ is made afresh each time.
station=$WINEPREFIX/drive_c/ВЕЛТ
rm -rf "$station"
mkdir -p "$station/Архивы" "$station/ТОРАН"
cp -r data/sample/app "$station/Программа"
cp data/sample/archives/F1232401.DBF "$station/Архивы/"
cp "$WIN_BUILD_DIR/tools/velt_window_tour.exe" "$station/Программа/"
printf '[VELT_CONV]\r\nvelt_file_Caption=%s\r\noutdirpath_Caption=%s\r\nlbCodePage_Caption=OEM\r\n' \
  'C:\ВЕЛТ\Архивы\F1232401.DBF' 'C:\ВЕЛТ\ТОРАН' | iconv -f UTF-8 -t CP1251 \
  >"$station/Программа/velt_window_tour.ini"
# The station's instructions, as the screenshots have them.
iconv -f UTF-8 -t CP1251 tools/gui/station_instructions.rtf >"$station/Программа/BottomMesg.txt"

shots=$(mktemp -d /tmp/veltconv-guide.XXXXXX)
desktop_start 1366x768 "$shots/screen"
(cd "$station/Программа" &&
  timeout 300 wine velt_window_tour.exe --app-dir 'C:\ВЕЛТ\Программа' 'C:\ВЕЛТ\Снимки' >"$shots/tour.txt" 2>&1) ||
  desktop_fail "the window tour failed: $(cat "$shots/tour.txt")"

missing=0
for name in $(grep -o '](main_[^)]*\.png)' "$HELP/guide.md" | tr -d '()]' | sort -u); do
  if [ -f "$station/Снимки/$name" ]; then
    convert "$station/Снимки/$name" +dither -colors 64 "PNG8:$HELP/$name"
    echo "$HELP/$name"
  else
    echo "the tour took no $name" >&2
    missing=1
  fi
done
rm -rf "$shots" "$station"
exit $missing
