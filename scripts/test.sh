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
  qt_windows_wait
  # Compares with the Linux build's conversion, so that build must exist.
  [ -x "$BUILD_DIR/veltconv" ] || scripts/setup.sh program
  LINUX_BUILD_DIR="$BUILD_DIR" scripts/windows_test.sh -DVELT_WERROR=ON
}

# Qt for Windows, the longest step by far on a machine without it in its
# cache, is built from the start beside the lanes before the windows lane,
# at a lower priority, so that it takes the cores they leave idle. apt
# serves one caller at a time: the other lanes go on once it has its
# packages and its source.
QT_PID=
qt_windows_start() {
  QT_LOG=$(mktemp /tmp/veltconv-qt-windows.XXXXXX)
  setsid -w nice -n 5 scripts/build_qt_windows.sh >"$QT_LOG" 2>&1 &
  QT_PID=$!
  trap 'kill -- -"$QT_PID" 2>/dev/null || true' EXIT
  until grep -Eq '2/4 configuring|reusing|FAILED' "$QT_LOG" || ! kill -0 "$QT_PID" 2>/dev/null; do
    sleep 1
  done
  echo "=== Qt for Windows: $(tail -n1 "$QT_LOG") (log: $QT_LOG)"
}
qt_windows_wait() {
  [ -n "$QT_PID" ] || return 0
  local status=0
  wait "$QT_PID" || status=$?
  QT_PID=
  cat "$QT_LOG"
  [ $status -eq 0 ] || { echo "building Qt for Windows failed" >&2; return 1; }
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
if [[ " ${lanes[*]} " == *" windows "* ]] && [ "${VELT_WINDOWS_GUI:-1}" != 0 ]; then
  qt_windows_start
fi
for lane in "${lanes[@]}"; do
  echo "=== lane $lane"
  started=$SECONDS
  "lane_$lane"
  summary+=("$lane $((SECONDS - started)) s")
  echo "=== lane $lane passed in $((SECONDS - started)) s"
done
printf '=== passed: %s\n' "${summary[@]}"
