#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks (as root) and builds veltconv
# into ./build (BUILD_DIR).
#
#   scripts/setup.sh [program|all] [cmake options...]
#
# `program` installs and builds only what the veltconv executable needs
# (run-sample.sh); `all` (the default) also the tests, tools and benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."

what=all
case "${1:-}" in program | all) what=$1; shift ;; esac

PROGRAM_PACKAGES=(build-essential cmake ninja-build qt6-base-dev libcli11-dev)
TEST_PACKAGES=(libgtest-dev libbenchmark-dev python3 python3-dbfread python3-dbf
  libdbd-xbase-perl xvfb xauth time bc)
packages=("${PROGRAM_PACKAGES[@]}")
[ "$what" = all ] && packages+=("${TEST_PACKAGES[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

BUILD_DIR=${BUILD_DIR:-build}
if [ "$what" = program ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELT_TESTS=OFF \
    -DVELT_BENCH=OFF "$@" >/dev/null
  cmake --build "$BUILD_DIR" --target veltconv
else
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELT_TESTS=ON \
    -DVELT_BENCH=ON "$@" >/dev/null
  cmake --build "$BUILD_DIR"
fi
