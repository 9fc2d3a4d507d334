#!/usr/bin/env bash
# Converts the sample archive once with the Linux program and once with the
# Windows program under wine, from the same command line in twin folders, and
# compares what they wrote: the output tables byte for byte apart from the
# header's date of last update (bytes 1-3), the indexes byte for byte, the
# event log line by line apart from the time stamps (the first 22
# characters), and the summary on standard output apart from its time line
# and the separators of the paths it names.
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

/usr/bin/python3 - "$work/linux" "$work/windows" "$out" <<'EOF'
import pathlib
import sys

linux, windows, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), sys.argv[3]
faults = []


def compare_files(folder, ignore_date):
    names = sorted(p.name for p in (linux / folder).iterdir())
    other = sorted(p.name for p in (windows / folder).iterdir())
    if names != other:
        faults.append(f"{folder}: files {names} against {other}")
        return 0
    for name in names:
        a = (linux / folder / name).read_bytes()
        b = (windows / folder / name).read_bytes()
        if ignore_date and len(a) > 4 and len(b) > 4:
            a, b = a[:1] + a[4:], b[:1] + b[4:]
        if a != b:
            faults.append(f"{folder}/{name} differs")
    return len(names)


def lines(side, name, skip):
    # Bytes: the log is Windows-1251, the stamp 22 ASCII characters.
    return [line[skip:] for line in (side / name).read_bytes().splitlines()]


tables = compare_files(out, ignore_date=True)
indexes = compare_files("app/indexes", ignore_date=False)
if tables == 0:
    faults.append("no output table written")
log = lines(linux, "app/veltconv.log", 22)
if log != lines(windows, "app/veltconv.log", 22):
    faults.append("event logs differ")
def summary(side):
    # The paths it names carry each platform's separator.
    return [line.replace(b"\\", b"/").replace(b"//", b"/") for line in lines(side, "stdout.txt", 0)[1:]]


if summary(linux) != summary(windows):
    faults.append("summaries differ")

if faults:
    print("Windows run differs from the Linux run:\n  " + "\n  ".join(faults))
    sys.exit(1)
print(f"Windows run matches the Linux run: {tables} tables, {indexes} indexes, {len(log)} log lines")
EOF
