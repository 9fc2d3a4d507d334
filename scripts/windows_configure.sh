#!/usr/bin/env bash
# Configures a cross build of the whole program for 64-bit Windows, windows
# included, against the static Qt that scripts/build_qt_windows.sh made.
#
#   scripts/windows_configure.sh BUILD_DIR QT_PREFIX [cmake options...]
#
# Qt's own toolchain file finds its packages and Debian's host tools (moc,
# uic, rcc of the same version); it loads ours for the compilers, the static
# links and wine as the test runner.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1 qt=$2
mkdir -p "$build"
shift 2
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DVELT_GUI=ON -DVELT_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" "$@" >"$build/configure.log" 2>&1 || {
  echo "configuring the Windows build failed (log: $build/configure.log)" >&2
  tail -n 30 "$build/configure.log" >&2
  exit 1
}
