#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD_DIR" --output-on-failure -j2
# The Windows variant, cross-built and run under wine (VELT_WINDOWS=0 leaves it out).
if [ "${VELT_WINDOWS:-1}" != 0 ]; then
  LINUX_BUILD_DIR="$BUILD_DIR" scripts/windows_test.sh
fi
# The core's tests once more under AddressSanitizer and UndefinedBehaviorSanitizer
# (a clang build without windows in build-asan), then each fuzz target for
# FUZZ_SECONDS (default 60) from its seed inputs (VELT_HARDEN=0 leaves it out).
if [ "${VELT_HARDEN:-1}" != 0 ]; then
  FUZZ_BUILD_DIR=build-asan scripts/fuzz.sh build
  UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j2
  FUZZ_BUILD_DIR=build-asan scripts/fuzz.sh
fi
