#!/usr/bin/env bash
# Builds the static Qt base for 64-bit Windows that veltconv.exe links, from
# Debian's source package of the Qt that the Linux build uses, with
# MinGW-w64 (the posix thread model). The build lands in a cache outside the
# tree and is reused while a complete build of the same version and options
# is there. Installs what it lacks (as root). Prints the install prefix last.
#
#   scripts/build_qt_windows.sh
#
#   VELT_QT_WIN_CACHE  the cache folder (default /var/cache/veltconv/qt-windows)
#   VELT_QT_WIN_JOBS   parallel compile jobs (default: the number of cores)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

CACHE=${VELT_QT_WIN_CACHE:-/var/cache/veltconv/qt-windows}
JOBS=${VELT_QT_WIN_JOBS:-$(nproc)}

step() { echo "[qt-windows] $*" >&2; }
fail() {
  step "FAILED: $1 (log: $2)"
  [ -f "$2" ] && tail -n 30 "$2" >&2
  exit 1
}

. scripts/install_missing.sh

# Debian's host tools (moc, rcc, uic of the same version) drive the cross
# build, so the Qt of the Linux build must be there first.
install_missing qt6-base-dev qt6-base-dev-tools g++-mingw-w64-x86-64-posix cmake ninja-build \
  dpkg-dev perl python3 xz-utils
QT_DEB_VERSION=$(dpkg-query -W -f='${Version}' qt6-base-dev)

# Only what the program links: Widgets with the Windows platform plugin and
# Test for the window tests. Changing this list starts a new build.
OPTIONS=(
  -DBUILD_SHARED_LIBS=OFF -DCMAKE_BUILD_TYPE=Release
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_opengl_desktop=OFF
  -DFEATURE_gif=OFF -DFEATURE_ico=OFF -DFEATURE_jpeg=OFF
  -DFEATURE_imageformatplugin=OFF
  # direct2d stays on: without it Gui leaves out the DirectWrite font
  # database that the Windows platform plugin still links against.
  # Debian's tarball leaves out the wintab header of the tablet support.
  -DFEATURE_tabletevent=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_freetype=OFF
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF
  -DINPUT_openssl=no
)
KEY=$(printf '%s\n' "$QT_DEB_VERSION" "${OPTIONS[@]}" | sha1sum | cut -c1-12)
WORK="$CACHE/$KEY"
PREFIX="$WORK/qt"
if [ -f "$WORK/complete" ]; then
  step "reusing $PREFIX (Qt $QT_DEB_VERSION)"
  echo "$PREFIX"
  exit 0
fi
mkdir -p "$WORK/logs"
LOGS="$WORK/logs"

# 1. The source package, with Debian's patches applied.
SRC_PARENT="$WORK/source"
if [ ! -f "$SRC_PARENT/unpacked" ]; then
  step "1/4 fetching the source package qt6-base $QT_DEB_VERSION"
  SOURCES_FILE=/etc/apt/sources.list.d/veltconv-deb-src.sources
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$SOURCES_FILE"
    apt-get update -qq >"$LOGS/fetch.log" 2>&1 || fail "step 1 (apt-get update for deb-src)" "$LOGS/fetch.log"
  fi
  rm -rf "$SRC_PARENT" && mkdir -p "$SRC_PARENT"
  (cd "$SRC_PARENT" && apt-get source -qq "qt6-base=$QT_DEB_VERSION") >>"$LOGS/fetch.log" 2>&1 ||
    fail "step 1 (apt-get source qt6-base=$QT_DEB_VERSION)" "$LOGS/fetch.log"
  touch "$SRC_PARENT/unpacked"
fi
SRC=$(find "$SRC_PARENT" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
[ -n "$SRC" ] || fail "step 1 (no unpacked source folder)" "$LOGS/fetch.log"

# 2. Configure against Debian's host tools.
step "2/4 configuring (log: $LOGS/configure.log)"
cat >"$WORK/toolchain.cmake" <<TOOLCHAIN
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
TOOLCHAIN
# A configured build left by an interrupted run goes on where it stopped.
if [ ! -f "$WORK/build/configured" ]; then
rm -rf "$WORK/build"
cmake -S "$SRC" -B "$WORK/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$WORK/toolchain.cmake" \
  -DCMAKE_INSTALL_PREFIX="$PREFIX" -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake "${OPTIONS[@]}" \
  >"$LOGS/configure.log" 2>&1 || fail "step 2 (configure)" "$LOGS/configure.log"
touch "$WORK/build/configured"
fi

# 3. Build, with a progress line every minute.
step "3/4 building with $JOBS jobs (log: $LOGS/build.log)"
started=$SECONDS
cmake --build "$WORK/build" --parallel "$JOBS" >>"$LOGS/build.log" 2>&1 &
builder=$!
while kill -0 "$builder" 2>/dev/null; do
  sleep 60 &
  wait $! || true
  last=$(grep -o '^\[[0-9]*/[0-9]*\]' "$LOGS/build.log" | tail -n1 || true)
  kill -0 "$builder" 2>/dev/null && step "    $last after $(((SECONDS - started) / 60)) min"
done
wait "$builder" || fail "step 3 (build)" "$LOGS/build.log"
step "    built in $(((SECONDS - started) / 60)) min"

# 4. Install, then mark the build complete.
step "4/4 installing into $PREFIX (log: $LOGS/install.log)"
rm -rf "$PREFIX"
cmake --install "$WORK/build" >"$LOGS/install.log" 2>&1 || fail "step 4 (install)" "$LOGS/install.log"
rm -rf "$WORK/build" "$SRC_PARENT"
date -u +%FT%TZ >"$WORK/complete"
step "done: $PREFIX"
echo "$PREFIX"
