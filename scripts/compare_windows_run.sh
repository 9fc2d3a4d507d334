#!/usr/bin/env bash
# Converts the sample archive once with the Linux program and once with the
# Windows program under wine, from the same command line in twin folders, and
# compares what they wrote (scripts/compare_runs.py): tables, indexes, the
# event log and the summary on standard output.
#   compare_windows_run.sh LINUX_VELTCONV WINDOWS_VELTCONV_EXE
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 2 ]; then
  echo "usage: $0 LINUX_VELTCONV WINDOWS_VELTCONV_EXE" >&2
  exit 2
fi
linux_exe=$(realpath "$1")
windows_exe=$(realpath "$2")
export WINEPREFIX=${WINEPREFIX:-$(dirname "$windows_exe")/wineprefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# wine hands the arguments to the program through the locale's encoding.
export LC_ALL=C.UTF-8

work=$(mktemp -d /tmp/veltconv-windows.XXXXXX)
trap 'rm -rf "$work"' EXIT
# A Cyrillic output folder: its name must reach both file systems intact.
out="вывод"
for side in linux windows; do
  mkdir -p "$work/$side/archives" "$work/$side/$out"
  cp -r data/sample/app "$work/$side/app"
  cp data/sample/archives/F1232401.DBF "$work/$side/archives/"
done

# The same relative paths for both, so that the log lines, which name the
# archive, can be compared.
args=(convert archives/F1232401.DBF --out "$out" --app-dir app --code-page OEM)
(cd "$work/linux" && "$linux_exe" "${args[@]}" >stdout.txt)
(cd "$work/windows" && wine "$windows_exe" "${args[@]}" >stdout.txt)

/usr/bin/python3 scripts/compare_runs.py "$work/linux" "$work/windows" "$out" --summary
