#!/usr/bin/env bash
# The Windows variant: cross-builds the core, the command line and the core
# tests with MinGW-w64 into build-win, runs the tests under wine and converts
# the sample archive with veltconv.exe, whose output must match the Linux
# build's (scripts/compare_windows_run.sh). Installs what it lacks (as root).
# Headless: console programs need no X display.
#   scripts/windows_test.sh [cmake options...]
#
#   LINUX_BUILD_DIR  the Linux build to compare with (default: build)
#   WIN_BUILD_DIR    default: build-win
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 googletest cmake ninja-build python3)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

LINUX_BUILD_DIR=${LINUX_BUILD_DIR:-build}
WIN_BUILD_DIR=${WIN_BUILD_DIR:-build-win}
# The Linux build's optimisation, without its debug information, which only
# slows down the static links of the test programs.
cmake -S . -B "$WIN_BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DVELT_GUI=OFF -DVELT_BENCH=OFF "$@" >/dev/null
cmake --build "$WIN_BUILD_DIR"

# The prefix that the toolchain gives ctest, made once before the tests run
# side by side, so that they do not race to create it.
export WINEPREFIX="$PWD/$WIN_BUILD_DIR/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot --init >/dev/null 2>&1 || true
  wineserver -w
fi

ctest --test-dir "$WIN_BUILD_DIR" --output-on-failure -j2 --timeout 600
scripts/compare_windows_run.sh "$LINUX_BUILD_DIR/veltconv" "$WIN_BUILD_DIR/veltconv.exe"
