#!/usr/bin/env bash
# Makes what a station installs, into dist/:
#   dist/veltconv-<version>-setup.exe          the installer (NSIS; per user)
#   dist/veltconv-<version>-windows-x64.zip    the same program folder, to copy by hand
# Builds what it needs first: Qt for Windows (scripts/build_qt_windows.sh,
# cached) and veltconv.exe with its windows. Installs what it lacks (as root).
#
#   scripts/release.sh
#
#   RELEASE_BUILD_DIR  the Windows build (default build-release-win)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

. scripts/install_missing.sh
install_missing nsis python3 binutils-mingw-w64-x86-64

QT_PREFIX=$(scripts/build_qt_windows.sh | tail -n1)
BUILD=${RELEASE_BUILD_DIR:-build-release-win}
# A configured Windows build (the windows lane's) is used as it is.
[ -f "$BUILD/build.ninja" ] ||
  scripts/windows_configure.sh "$BUILD" "$QT_PREFIX" -DCMAKE_BUILD_TYPE=Release -DVELT_TESTS=OFF
cmake --build "$BUILD" --target veltconv

VERSION=$(cat "$BUILD/version.txt")
# Windows wants four numbers: 1.0 -> 1.0.0.0.
IFS=. read -r -a parts <<<"${VERSION%%-*}"
while [ ${#parts[@]} -lt 4 ]; do parts+=(0); done
NUMBERS=$(IFS=.; echo "${parts[*]:0:4}")

DIST=$ROOT/dist
STAGE=$DIST/stage/veltconv
rm -rf "$DIST/stage" && mkdir -p "$STAGE"/{dirstrans,pavkdirs,indexes,in}
x86_64-w64-mingw32-strip -o "$STAGE/veltconv.exe" "$BUILD/veltconv.exe"
# Notepad reads it as UTF-8 by its byte-order mark, with Windows line ends.
{
  printf '\xef\xbb\xbf'
  sed "s/@VERSION@/$VERSION/" packaging/windows/README-ru.txt | sed 's/$/\r/'
} >"$STAGE/ПРОЧТИТЕ.txt"

ZIP=$DIST/veltconv-$VERSION-windows-x64.zip
SETUP=$DIST/veltconv-$VERSION-setup.exe
rm -f "$ZIP" "$SETUP"
# Python's zip marks the names as UTF-8, which Windows' own unpacker reads.
/usr/bin/python3 - "$DIST/stage" "$ZIP" <<'PY'
import os, sys, zipfile
stage, target = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as archive:
    for folder, dirs, files in os.walk(stage):
        dirs.sort()
        relative = os.path.relpath(folder, stage)
        if not files and not dirs:
            archive.write(folder, relative + "/")  # the empty folders the program needs
        for name in sorted(files):
            path = os.path.join(folder, name)
            archive.write(path, os.path.relpath(path, stage))
PY

makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$VERSION" -DVERSION_NUMBERS="$NUMBERS" -DSTAGE="$STAGE" \
  -DSAMPLE="$ROOT/data/sample" -DICON="$ROOT/src/app/resources/veltconv.ico" -DOUTFILE="$SETUP" \
  packaging/windows/veltconv.nsi
echo "made:"
ls -l "$SETUP" "$ZIP"
