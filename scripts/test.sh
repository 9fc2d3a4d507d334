#!/usr/bin/env bash
# Builds everything and runs every test, in lanes that fail fast: a lane
# starts only when the ones before it passed.
#
#   scripts/test.sh [LANE...]     (default: quick windows hardening)
#
#   quick      check the formatting, build everything and run every Linux test
#   windows    cross-build for Windows, run the tests under wine and compare
#              the sample conversion with the Linux build's
#   hardening  the core's tests under AddressSanitizer and
#              UndefinedBehaviorSanitizer, then each fuzz target for
#              FUZZ_SECONDS (default 60) from its seed inputs
#
# VELT_WINDOWS=0 and VELT_HARDEN=0 leave the windows and hardening lanes out
# of the default list.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}

# The project's warnings are errors in every lane's build.
lane_quick() {
  scripts/check_format.sh
  scripts/setup.sh all -DVELT_WERROR=ON
  QT_QPA_PLATFORM=offscreen ctest --test-dir "$BUILD_DIR" --output-on-failure -j2
}
lane_windows() {
  # Compares with the Linux build's conversion, so that build must exist.
  [ -x "$BUILD_DIR/veltconv" ] || scripts/setup.sh program
  LINUX_BUILD_DIR="$BUILD_DIR" scripts/windows_test.sh -DVELT_WERROR=ON
}
lane_hardening() {
  FUZZ_BUILD_DIR=build-asan scripts/fuzz.sh build -DVELT_WERROR=ON
  QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j2
  FUZZ_BUILD_DIR=build-asan scripts/fuzz.sh
}

lanes=("$@")
if [ ${#lanes[@]} -eq 0 ]; then
  lanes=(quick)
  [ "${VELT_WINDOWS:-1}" != 0 ] && lanes+=(windows)
  [ "${VELT_HARDEN:-1}" != 0 ] && lanes+=(hardening)
fi
for lane in "${lanes[@]}"; do
  case "$lane" in quick | windows | hardening) ;; *) echo "unknown lane: $lane" >&2; exit 2 ;; esac
done
summary=()
for lane in "${lanes[@]}"; do
  echo "=== lane $lane"
  started=$SECONDS
  "lane_$lane"
  summary+=("$lane $((SECONDS - started)) s")
  echo "=== lane $lane passed in $((SECONDS - started)) s"
done
printf '=== passed: %s\n' "${summary[@]}"
