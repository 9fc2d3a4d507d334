#!/usr/bin/env bash
# Converts the same archives with an earlier commit's veltconv and with the
# working tree's, and compares what they write: every output table byte for
# byte (the header's date of last update aside), every index file, the event
# log line by line without its stamps, the unmapped-values report, standard
# output (without the time taken), standard error and the exit status.
#
#   scripts/compare_builds.sh [COMMIT] [CALLS]
#
# COMPARE_MESSAGES=0 leaves standard output, standard error and the exit
# status out: what the runs write stays compared when a change meant to
# alter what the operator reads (a summary's wording, a new warning).
#
# COMMIT (default: where this branch left main) is built from its own tree
# into $TMPDIR/veltconv-compare-build-<hash> (kept for the next call); the
# working tree's binary is built in BUILD_DIR (default: build). The archives
# are the samples and a generated world (scripts/compare_world.py) of CALLS
# calls (default 20000), safe and hostile, each converted with both code
# pages, small archives in which one call ends the run, and application
# folders whose references lack what some lookups need.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
TMP=${TMPDIR:-/tmp}
BUILD_DIR=${BUILD_DIR:-build}
COMMIT=${1:-$(git merge-base HEAD main)}
CALLS=${2:-20000}
HASH=$(git rev-parse --short=12 "$COMMIT")
BASE_BUILD=$TMP/veltconv-compare-build-$HASH
WORK=$TMP/veltconv-compare-$$
[ -n "${KEEP_WORK:-}" ] || trap 'rm -rf "$WORK"' EXIT

configure() {  # source dir, build dir
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELT_GUI=OFF -DVELT_TESTS=OFF \
    -DVELT_BENCH=OFF >/dev/null
}

if [ ! -x "$BASE_BUILD/veltconv" ]; then
  echo "building $HASH into $BASE_BUILD"
  rm -rf "$BASE_BUILD.src"
  mkdir -p "$BASE_BUILD.src"
  git archive "$COMMIT" | tar -x -C "$BASE_BUILD.src"
  configure "$BASE_BUILD.src" "$BASE_BUILD"
  cmake --build "$BASE_BUILD" --target veltconv -- -j2 >/dev/null
fi
[ -f "$BUILD_DIR/build.ninja" ] || configure . "$BUILD_DIR"
cmake --build "$BUILD_DIR" --target veltconv -- -j2 >/dev/null

mkdir -p "$WORK/base" "$WORK/new"
cp "$BASE_BUILD/veltconv" "$WORK/base/veltconv"
cp "$BUILD_DIR/veltconv" "$WORK/new/veltconv"
/usr/bin/python3 scripts/compare_world.py "$WORK/world" data/sample "$CALLS"

# One conversion with one binary: its own copy of the application folder,
# everything it writes kept under RUN.
convert() {  # binary, app, archive, code page, run dir
  local run=$5
  mkdir -p "$run/out"
  cp -r "$2" "$run/app"
  set +e
  "$1" convert "$3" --out "$run/out" --app-dir "$run/app" --code-page "$4" --report "$run/report.csv" \
    >"$run/stdout" 2>"$run/stderr"
  echo $? >"$run/status"
  set -e
  # The run's own folder is named in what it prints: left out, as the time.
  sed -i -e 's/ in [0-9.]* s$//' -e 's/ за [0-9.]* с\([ ,]\|$\)/\1/' -e "s|$run/|RUN/|g" "$run/stdout" "$run/stderr"
  if [ -f "$run/app/veltconv.log" ]; then
    cut -c23- "$run/app/veltconv.log" >"$run/log.lines"
    rm "$run/app/veltconv.log"
  fi
}

# Tables compared without header bytes 1-3, the date of the last update.
same_files() {  # dir a, dir b
  local a=$1 b=$2 ok=0
  if [ "$(cd "$a" && find . -type f | sort)" != "$(cd "$b" && find . -type f | sort)" ]; then
    echo "  different files: $(diff <(cd "$a" && find . -type f | sort) <(cd "$b" && find . -type f | sort) | tr '\n' ' ')"
    return 1
  fi
  while IFS= read -r f; do
    case "$f" in
      *.dbf | *.DBF)
        if ! cmp -s <(head -c 1 "$a/$f"; tail -c +5 "$a/$f") <(head -c 1 "$b/$f"; tail -c +5 "$b/$f"); then
          echo "  $f differs: $(cmp <(tail -c +5 "$a/$f") <(tail -c +5 "$b/$f") 2>&1 | head -1)"
          ok=1
        fi ;;
      *)
        if ! cmp -s "$a/$f" "$b/$f"; then
          echo "  $f differs: $(cmp "$a/$f" "$b/$f" 2>&1 | head -1)"
          ok=1
        fi ;;
    esac
  done < <(cd "$a" && find . -type f | sort)
  return $ok
}

failures=0
runs=0
compare() {  # app, archive, code page, label
  local label=$4
  for side in base new; do convert "$WORK/$side/veltconv" "$1" "$2" "$3" "$WORK/run/$side"; done
  runs=$((runs + 1))
  local status
  status=$(cat "$WORK/run/new/status")
  if [ "${COMPARE_MESSAGES:-1}" = 0 ]; then
    for side in base new; do rm "$WORK/run/$side/stdout" "$WORK/run/$side/stderr" "$WORK/run/$side/status"; done
  fi
  if same_files "$WORK/run/base" "$WORK/run/new"; then
    echo "same      $label ($status, $(wc -l <"$WORK/run/new/log.lines") log lines)"
  else
    echo "DIFFERENT $label"
    failures=$((failures + 1))
  fi
  rm -rf "$WORK/run"
}

for archive in data/sample/archives/*.DBF; do
  for page in OEM ANSI; do compare data/sample/app "$archive" $page "sample $(basename "$archive") $page"; done
done
for archive in "$WORK"/world/archives/*.DBF; do
  for page in OEM ANSI; do compare "$WORK/world/app" "$archive" $page "world $(basename "$archive") $page"; done
done
for archive in "$WORK"/world/ending/*.DBF; do
  compare "$WORK/world/app" "$archive" OEM "ending $(basename "$archive")"
done
for app in "$WORK"/world/variants/*/; do
  compare "$app" "$WORK/world/variants/F1232411.DBF" OEM "references $(basename "$app")"
done
echo "$runs conversions compared against $HASH: $failures different"
[ "$failures" -eq 0 ]
