#!/usr/bin/env bash
# Runs every fuzz target for FUZZ_SECONDS (default 60) from its seed corpus
# fuzz/corpus/<target>/, two at a time, under AddressSanitizer and
# UndefinedBehaviorSanitizer. A crash, an input that takes more than 10 s, a
# sanitizer report or a broken invariant fails the script; the input that
# did it is kept in $FUZZ_BUILD_DIR/fuzz-artifacts/<target>/.
#
#   FUZZ_BUILD_DIR  clang build to use or make (default build-asan)
#   FUZZ_TARGETS    targets to run (default: all six)
#   FUZZ_JOBS       targets run at once (default 2)
#   FUZZ_TIMEOUT    seconds one input may take (default 10; raise it for
#                   long runs at a low priority on a busy machine, where the
#                   wall clock runs while the fuzzer waits for a core)
#   FUZZ_WORK_DIR   keep the inputs found here, one folder per target
#                   (default: a temporary folder, removed afterwards)
#
# `fuzz.sh build [cmake options...]` only makes the build, every target of it
# (the tests too), for scripts/test.sh to run the tests under the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${FUZZ_SECONDS:-60}
BUILD_DIR=${FUZZ_BUILD_DIR:-build-asan}
TARGETS=${FUZZ_TARGETS:-"table xbase_expr ini_file rtf_reader record_converter conversion_run"}
JOBS=${FUZZ_JOBS:-2}
TIMEOUT=${FUZZ_TIMEOUT:-10}

# libFuzzer comes with clang's runtime libraries.
have_libfuzzer() {
  command -v clang++ >/dev/null 2>&1 &&
    printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' |
      clang++ -x c++ -fsanitize=fuzzer,address - -o /dev/null 2>/dev/null
}
if ! have_libfuzzer; then
  echo "Installing clang and libFuzzer"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq clang libclang-rt-14-dev >/dev/null
fi

options=()
[ "${1:-}" = build ] && options=("${@:2}")
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DVELT_GUI=OFF -DVELT_BENCH=OFF -DVELT_SANITIZE=ON -DVELT_FUZZ=ON "${options[@]}" >/dev/null
else
  cmake "$BUILD_DIR" -DVELT_SANITIZE=ON -DVELT_FUZZ=ON "${options[@]}" >/dev/null
fi
if [ "${1:-}" = build ]; then
  cmake --build "$BUILD_DIR"
  exit 0
fi
programs=()
for t in $TARGETS; do programs+=("${t}_fuzz"); done
cmake --build "$BUILD_DIR" --target "${programs[@]}"

work_root=${FUZZ_WORK_DIR:-}
if [ -z "$work_root" ]; then
  work_root=$(mktemp -d)
  trap 'rm -rf "$work_root"' EXIT
fi
logs="$BUILD_DIR/fuzz-logs"
mkdir -p "$logs"

# One target: new inputs go to its work folder, the committed seeds are read.
run_target() {
  local t=$1
  local artifacts="$BUILD_DIR/fuzz-artifacts/$t"
  local dict=()
  [ -f "fuzz/dict/$t.dict" ] && dict=("-dict=fuzz/dict/$t.dict")
  mkdir -p "$work_root/$t" "$artifacts"
  "$BUILD_DIR/fuzz/${t}_fuzz" -max_total_time="$FUZZ_SECONDS" -timeout="$TIMEOUT" -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "${dict[@]}" \
    "$work_root/$t" "fuzz/corpus/$t" >"$logs/$t.log" 2>&1
}

failed=()
declare -A pid_of
for t in $TARGETS; do
  while [ "$(jobs -rp | wc -l)" -ge "$JOBS" ]; do wait -n || true; done
  run_target "$t" &
  pid_of[$t]=$!
done
for t in $TARGETS; do
  if wait "${pid_of[$t]}"; then
    runs=$(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$logs/$t.log" | grep -o '[0-9]*$' || true)
    echo "fuzz $t: ${runs:-?} inputs in ${FUZZ_SECONDS} s, no finding"
  else
    failed+=("$t")
    echo "fuzz $t: FAILED (log $logs/$t.log, input in $BUILD_DIR/fuzz-artifacts/$t/)"
    grep -E 'ERROR|runtime error|INVARIANT|Test unit written' "$logs/$t.log" | head -5 || true
  fi
done
[ ${#failed[@]} -eq 0 ]
