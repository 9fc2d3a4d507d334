#!/usr/bin/env bash
# Builds veltconv and converts the bundled sample archive, in a work folder
# (the repository's own files stay unchanged).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh program
BUILD_DIR=${BUILD_DIR:-build}
WORK=${WORK:-$(mktemp -d /tmp/veltconv-sample.XXXXXX)}
cp -r data/sample/app "$WORK/app"
mkdir -p "$WORK/out"
status=0
"$BUILD_DIR/veltconv" convert data/sample/archives/F1232401.DBF --out "$WORK/out" --app-dir "$WORK/app" || status=$?
echo
echo "Output tables: $WORK/out"
ls -l "$WORK/out"
echo "Event log:     $WORK/app/veltconv.log (Windows-1251)"
exit $status
