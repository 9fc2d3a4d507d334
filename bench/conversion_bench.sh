#!/usr/bin/env bash
# The whole `veltconv convert` on a generated archive of 1,000,000 calls with a
# 200,000-record street table and 5,000 settlements, with this tree's binary
# and, beside it, the binary of the commit where this branch left main (or
# BASE=<commit>), built the same way. For each: calls per second, user CPU
# per call, write system calls per call (strace -c -f), heap allocations per
# call in steady state (a preloaded counter on this archive and on one of a
# fifth of its calls: the difference over the difference in calls), peak
# memory against its bound; and the floor of copying the same bytes with cat
# and dd; and this tree's time with the problem calls written (--problems),
# and the peak memory of both binaries with --problems on an archive of
# CALLS calls that all fail a field group (it must not grow with them).
# Medians of RUNS runs (default 3). The write calls need strace.
#
#   bench/conversion_bench.sh [BUILD_DIR] [CALLS]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
CALLS=${2:-1000000}
RUNS=${RUNS:-3}
TMP=${TMPDIR:-/tmp}
BASE=${BASE:-$(git merge-base HEAD main 2>/dev/null || echo)}

world() {  # calls [failing] -> folder
  local dir=$TMP/veltconv-bench-world-$1${2:+-$2}
  if [ ! -f "$dir/F1232401.DBF" ]; then
    rm -rf "$dir"
    "$BUILD/tools/velt_bench_world" "$dir" data/sample/app data/sample/source/kladr_city.csv "$1" 200000 \
      ${2:-} >/dev/null
  fi
  echo "$dir"
}
WORLD=$(world "$CALLS")
SMALL_CALLS=$((CALLS / 5))
SMALL=$(world "$SMALL_CALLS")
COUNTER=$BUILD/bench/libvelt_alloc_counter.so
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# The base commit's veltconv, built from its own tree with this build's type
# and kept for the next call.
base_binary() {
  local hash type dir
  hash=$(git rev-parse --short=12 "$BASE")
  type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
  dir=$TMP/veltconv-bench-base-$hash-$type
  if [ ! -x "$dir/veltconv" ]; then
    rm -rf "$dir.src"
    mkdir -p "$dir.src"
    git archive "$BASE" | tar -x -C "$dir.src"
    cmake -S "$dir.src" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DVELT_GUI=OFF -DVELT_TESTS=OFF \
      -DVELT_BENCH=OFF >/dev/null
    cmake --build "$dir" --target veltconv -- -j2 >/dev/null
  fi
  echo "$dir/veltconv"
}

convert() {  # binary, world, out -> the binary's standard output dropped
  rm -rf "$3"
  mkdir -p "$3"
  "$1" convert "$2/F1232401.DBF" --out "$3" --app-dir "$2/app" >/dev/null
}

# One binary's figures: "seconds user_s peak_KiB writes allocs_per_call".
measure() {
  local binary=$1 out=$TMP/veltconv-bench-out-$$ times=() users=() mems=() r writes a_big a_small
  for _ in $(seq "$RUNS"); do
    rm -rf "$out"
    mkdir -p "$out"
    r=$( { /usr/bin/time -f "%e %U %M" "$binary" convert "$WORLD/F1232401.DBF" --out "$out" \
            --app-dir "$WORLD/app" >/dev/null; } 2>&1 | tail -1)
    read -r t u m <<<"$r"
    times+=("$t"); users+=("$u"); mems+=("$m")
  done
  rm -rf "$out"
  mkdir -p "$out"
  writes=-
  if command -v strace >/dev/null; then
    strace -f -c -o "$out.strace" "$binary" convert "$WORLD/F1232401.DBF" --out "$out" --app-dir "$WORLD/app" \
      >/dev/null
    writes=$(awk '$NF ~ /^(write|pwrite64|writev|pwritev)$/ {n += $4} END {print n+0}' "$out.strace")
  fi
  VELT_ALLOC_COUNT=$out.big LD_PRELOAD=$COUNTER convert "$binary" "$WORLD" "$out"
  VELT_ALLOC_COUNT=$out.small LD_PRELOAD=$COUNTER convert "$binary" "$SMALL" "$out"
  a_big=$(cat "$out.big")
  a_small=$(cat "$out.small")
  rm -rf "$out" "$out.strace" "$out.big" "$out.small"
  echo "$(printf '%s\n' "${times[@]}" | median) $(printf '%s\n' "${users[@]}" | median)" \
    "$(printf '%s\n' "${mems[@]}" | median) $writes" \
    "$(awk -v a="$a_big" -v b="$a_small" -v n="$((CALLS - SMALL_CALLS))" 'BEGIN {printf "%.3f", (a - b) / n}')"
}

# This tree's median time with the problem calls written beside the output.
with_problems() {
  local out=$TMP/veltconv-bench-out-$$ times=() r
  for _ in $(seq "$RUNS"); do
    rm -rf "$out"
    mkdir -p "$out"
    r=$( { /usr/bin/time -f "%e" "$BUILD/veltconv" convert "$WORLD/F1232401.DBF" --out "$out" \
            --app-dir "$WORLD/app" --problems "$out/problems.csv" >/dev/null; } 2>&1 | tail -1)
    times+=("$r")
  done
  rm -rf "$out"
  printf '%s\n' "${times[@]}" | median
}

# A binary's peak memory (KiB) with --problems on the archive of failing calls.
problems_peak() {
  local out=$TMP/veltconv-bench-out-$$ failing
  failing=$(world "$CALLS" failing)
  rm -rf "$out"
  mkdir -p "$out"
  { /usr/bin/time -f "%M" "$1" convert "$failing/F1232401.DBF" --out "$out" --app-dir "$failing/app" \
      --problems "$out/problems.csv" >/dev/null; } 2>&1 | tail -1
  rm -rf "$out"
}

new=$(measure "$BUILD/veltconv")
problems=$(with_problems)
peak_new=$(problems_peak "$BUILD/veltconv")
peak_base=-
[ -z "$BASE" ] || peak_base=$(problems_peak "$(base_binary)")
if [ -n "$BASE" ]; then
  base=$(measure "$(base_binary)")
else
  base="- - - - -"
fi

refs=$(du -cb "$WORLD"/app/pavkdirs/*.dbf "$WORLD"/app/dirstrans/*.dbf "$WORLD"/app/dirstrans/*.DBF | tail -1 | cut -f1)
in_bytes=$(stat -c %s "$WORLD/F1232401.DBF")
convert "$BUILD/veltconv" "$WORLD" "$TMP/veltconv-bench-out-$$"
out_bytes=$(du -cb "$TMP/veltconv-bench-out-$$"/* | tail -1 | cut -f1)
rm -rf "$TMP/veltconv-bench-out-$$"
floors=()
for _ in $(seq "$RUNS"); do
  s=$(date +%s.%N)
  cat "$WORLD/F1232401.DBF" "$WORLD"/app/pavkdirs/*.dbf > "$WORLD/copy.tmp"
  dd if=/dev/zero of="$WORLD/copy2.tmp" bs=1M count=$(( out_bytes / 1048576 + 1 )) status=none
  e=$(date +%s.%N)
  floors+=("$(echo "$e - $s" | bc -l)")
  rm -f "$WORLD/copy.tmp" "$WORLD/copy2.tmp"
done
f=$(printf '%s\n' "${floors[@]}" | median)

awk -v new="$new" -v problems="$problems" -v peakNew="$peak_new" -v peakBase="$peak_base" -v base="$base" -v baseName="${BASE:0:12}" -v refs="$refs" \
    -v calls="$CALLS" -v f="$f" -v inb="$in_bytes" -v outb="$out_bytes" 'BEGIN {
  split(new, n, " "); split(base, b, " ");
  bound = 2 * refs / 1048576 + 64;
  printf "veltconv convert, %d calls, 200,000 streets (medians of runs)\n", calls;
  printf "  %-34s %16s %16s\n", "", "this tree", "base " baseName;
  row("time (s)", n[1], b[1], "%16.2f");
  row("time with --problems (s)", problems, "-", "%16.2f");
  row("calls per second (target 500000)", n[1] > 0 ? calls / n[1] : 0, b[1] > 0 ? calls / b[1] : 0, "%16.0f");
  row("user CPU per call (us, target 1.5)", n[2] * 1e6 / calls, b[2] * 1e6 / calls, "%16.2f");
  if (n[4] == "-") printf "  write calls per call: strace is not installed\n";
  else row("write calls per call (target 0.05)", n[4] / calls, b[4] / calls, "%16.4f");
  row("heap allocations per call", n[5], b[5], "%16.3f");
  row("peak memory (MiB)", n[3] / 1024, b[3] / 1024, "%16.1f");
  row("peak, all failing, --problems (MiB)", peakNew / 1024, peakBase == "-" ? "-" : peakBase / 1024, "%16.1f");
  printf "  bound on peak memory: 2 x %.1f MiB of reference/mapping tables + 64 MiB = %.1f MiB\n", refs / 1048576, bound;
  printf "  input %.1f MiB, output %.1f MiB; copying them with cat and dd: %.2f s (floor), this tree %.1fx it\n",
         inb / 1048576, outb / 1048576, f, n[1] / f;
}
function row(label, x, y, format) {
  printf "  %-34s " format " ", label, x;
  if (y == "-" || y == 0) printf "%16s\n", "-"; else printf format "\n", y;
}'
