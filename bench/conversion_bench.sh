#!/usr/bin/env bash
# The whole `veltconv convert` on a generated archive of 1,000,000 calls with a
# 200,000-record street table and 5,000 settlements: records per second, peak
# memory against its bound, and the floor of copying the same bytes with cat
# and dd. Medians of RUNS runs (default 3).
#
#   bench/conversion_bench.sh [BUILD_DIR] [CALLS]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
CALLS=${2:-1000000}
RUNS=${RUNS:-3}
WORLD=${WORLD:-/tmp/veltconv-bench-world-$CALLS}
if [ ! -f "$WORLD/F1232401.DBF" ]; then
  rm -rf "$WORLD"
  "$BUILD/tools/velt_bench_world" "$WORLD" data/sample/app data/sample/source/kladr_city.csv "$CALLS" 200000
fi
OUT=$WORLD/out
mkdir -p "$OUT"
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

times=(); mems=()
for i in $(seq "$RUNS"); do
  rm -f "$OUT"/*
  r=$( { /usr/bin/time -f "%e %M" "$BUILD/veltconv" convert "$WORLD/F1232401.DBF" --out "$OUT" \
          --app-dir "$WORLD/app" >/dev/null; } 2>&1 | tail -1)
  times+=("${r% *}"); mems+=("${r#* }")
done
t=$(printf '%s\n' "${times[@]}" | median)
m=$(printf '%s\n' "${mems[@]}" | median)
refs=$(du -cb "$WORLD"/app/pavkdirs/*.dbf "$WORLD"/app/dirstrans/*.dbf "$WORLD"/app/dirstrans/*.DBF | tail -1 | cut -f1)
in_bytes=$(stat -c %s "$WORLD/F1232401.DBF")
out_bytes=$(du -cb "$OUT"/* | tail -1 | cut -f1)

floors=()
for i in $(seq "$RUNS"); do
  s=$(date +%s.%N)
  cat "$WORLD/F1232401.DBF" "$WORLD"/app/pavkdirs/*.dbf > "$WORLD/copy.tmp"
  dd if=/dev/zero of="$WORLD/copy2.tmp" bs=1M count=$(( out_bytes / 1048576 + 1 )) status=none
  e=$(date +%s.%N)
  floors+=("$(echo "$e - $s" | bc -l)")
  rm -f "$WORLD/copy.tmp" "$WORLD/copy2.tmp"
done
f=$(printf '%s\n' "${floors[@]}" | median)

awk -v t="$t" -v m="$m" -v refs="$refs" -v calls="$CALLS" -v f="$f" -v inb="$in_bytes" -v outb="$out_bytes" 'BEGIN {
  bound = 2 * refs / 1048576 + 64;
  printf "veltconv convert, %d calls (median of runs)\n", calls;
  printf "  time:            %.2f s   (%.0f records/s, target >= 200000)\n", t, calls / t;
  printf "  peak memory:     %.1f MiB (bound: 2 x %.1f MiB of reference/mapping tables + 64 MiB = %.1f MiB)\n", m / 1024, refs / 1048576, bound;
  printf "  input %.1f MiB, output %.1f MiB; copying them with cat and dd: %.2f s (floor), ratio %.1fx\n", inb / 1048576, outb / 1048576, f, t / f;
}'
