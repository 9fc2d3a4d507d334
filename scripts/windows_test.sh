#!/usr/bin/env bash
# The Windows program: cross-builds the whole program (windows and command
# line) and its tests with MinGW-w64 against a static Qt for Windows
# (scripts/build_qt_windows.sh, built once into its cache) into build-win,
# then under wine:
#   1. the core and window tests;
#   2. the sample archive converted from the command line, compared with the
#      Linux build's (scripts/compare_windows_run.sh);
#   3. the sample archive converted through the main window from a program
#      folder with Cyrillic letters in its path, the mapping editor opened
#      (scripts/windows_gui_test.sh, under Xvfb with openbox);
#   4. the installer and the zip made (scripts/release.sh), a silent install,
#      a run of the installed program through its window, an install over
#      it, the uninstaller (scripts/windows_install_test.sh).
# Screenshots land in build-win/screenshots. Installs what it lacks (as
# root).
#   scripts/windows_test.sh [cmake options...]
#
#   LINUX_BUILD_DIR   the Linux build to compare with (default: build)
#   WIN_BUILD_DIR     default: build-win
#   VELT_WINDOWS_GUI  0 leaves Qt out: the lane builds the core and the
#                     command line only and runs steps 1 and 2 (default 1)
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 googletest cmake ninja-build python3 xvfb openbox
  xdotool x11-utils imagemagick nsis)
. scripts/install_missing.sh
install_missing "${PACKAGES[@]}"

LINUX_BUILD_DIR=${LINUX_BUILD_DIR:-build}
WIN_BUILD_DIR=${WIN_BUILD_DIR:-build-win}
GUI=${VELT_WINDOWS_GUI:-1}
# The Linux build's optimisation, without its debug information, which only
# slows down the static links of the test programs.
if [ "$GUI" = 1 ]; then
  QT_PREFIX=$(scripts/build_qt_windows.sh | tail -n1)
  scripts/windows_configure.sh "$WIN_BUILD_DIR" "$QT_PREFIX" -DCMAKE_BUILD_TYPE=Release "$@"
else
  cmake -S . -B "$WIN_BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DVELT_GUI=OFF -DVELT_BENCH=OFF "$@" \
    >/dev/null
fi
cmake --build "$WIN_BUILD_DIR"

# The prefix that the toolchain gives ctest, made once before the tests run
# side by side, so that they do not race to create it.
export WINEPREFIX="$PWD/$WIN_BUILD_DIR/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot --init >/dev/null 2>&1 || true
  wineserver -w
fi

if [ "$GUI" = 1 ]; then
  ctest --test-dir "$WIN_BUILD_DIR" --output-on-failure -j2 --timeout 600
else
  ctest --test-dir "$WIN_BUILD_DIR" --output-on-failure -j2 --timeout 600 -E '_gui_test$'
fi
scripts/compare_windows_run.sh "$LINUX_BUILD_DIR/veltconv" "$WIN_BUILD_DIR/veltconv.exe"
[ "$GUI" = 1 ] || exit 0
scripts/windows_gui_test.sh "$LINUX_BUILD_DIR/veltconv" "$WIN_BUILD_DIR/veltconv.exe" "$WIN_BUILD_DIR/screenshots"
RELEASE_BUILD_DIR="$WIN_BUILD_DIR" scripts/release.sh
scripts/windows_install_test.sh "$LINUX_BUILD_DIR/veltconv" dist/veltconv-"$(cat "$WIN_BUILD_DIR/version.txt")"-setup.exe \
  "$WIN_BUILD_DIR/screenshots/installed"
