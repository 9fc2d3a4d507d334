#!/usr/bin/env bash
# The installer under wine, as a station uses it: a silent install into a
# folder whose path holds Cyrillic letters, the installed program converting
# the sample through its window (scripts/windows_gui_test.sh), an install
# over it that keeps the station's tables, log and ini file, the uninstaller
# that keeps them too, and a folder that cannot be written refused.
#
#   scripts/windows_install_test.sh LINUX_VELTCONV SETUP_EXE SHOTS_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 3 ]; then
  echo "usage: $0 LINUX_VELTCONV SETUP_EXE SHOTS_DIR" >&2
  exit 2
fi
linux_exe=$(realpath "$1")
setup=$(realpath "$2")
shots=$(realpath -m "$3")
export WINEPREFIX=${WINEPREFIX:?the wine prefix to install into}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY

fail() {
  echo "installer test: $*" >&2
  exit 1
}
work=$(mktemp -d /tmp/veltconv-install.XXXXXX)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
dir="$work/ВЕЛТ/Программа"
windows_dir="Z:${dir//\//\\}"
# wine names the Windows user after the Unix one.
start_menu="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"

install() {
  local status=0
  timeout 300 wine "$setup" /S "/D=$windows_dir" || status=$?
  [ $status -eq 0 ] || fail "the silent install into $dir ended with $status"
}

install
for f in veltconv.exe ПРОЧТИТЕ.txt uninstall.exe dirstrans pavkdirs indexes in; do
  [ -e "$dir/$f" ] || fail "the install lacks $f"
done
[ -f "$start_menu/veltconv.lnk" ] || fail "no Start-menu shortcut in $start_menu"
[ ! -e "$dir/Пример" ] || fail "the sample folder was installed although it is off by default"

# The installed program, through its window, with the station's tables.
VELT_GUI_PROGRAM_DIR="$dir" scripts/windows_gui_test.sh "$linux_exe" "$dir/veltconv.exe" "$shots"
for f in veltconv.log veltconv.ini dirstrans/tr_rslt.dbf pavkdirs/street.dbf; do
  [ -f "$dir/$f" ] || fail "the run left no $f"
done
log_before=$(sha1sum "$dir/veltconv.log" "$dir/dirstrans/tr_rslt.dbf")

# An install over it keeps what the station made.
install
[ "$(sha1sum "$dir/veltconv.log" "$dir/dirstrans/tr_rslt.dbf")" = "$log_before" ] ||
  fail "the install over an earlier one changed the station's tables or log"

# The uninstaller runs from a copy of itself: wait for the program to go.
timeout 120 wine "$dir/uninstall.exe" /S || fail "the uninstaller failed"
deadline=$((SECONDS + 120))
while [ -e "$dir/veltconv.exe" ] || [ -e "$dir/uninstall.exe" ]; do
  [ $SECONDS -lt $deadline ] || fail "the uninstaller left the program in place"
  sleep 0.5
done
[ ! -e "$start_menu/veltconv.lnk" ] || fail "the uninstaller left the Start-menu shortcut"
[ ! -e "$dir/ПРОЧТИТЕ.txt" ] || fail "the uninstaller left ПРОЧТИТЕ.txt"
for f in veltconv.log veltconv.ini dirstrans/tr_rslt.dbf pavkdirs/street.dbf indexes/street.ntx; do
  [ -f "$dir/$f" ] || fail "the uninstaller removed the station's $f"
done

# A folder that cannot be written is refused, and nothing is installed.
status=0
timeout 120 wine "$setup" /S '/D=Z:\proc\veltconv' || status=$?
[ $status -eq 2 ] || fail "an install into a folder that cannot be written ended with $status, not 2"
echo "installer: silent install into $dir, run through the window, reinstall and uninstall kept the station's files"
