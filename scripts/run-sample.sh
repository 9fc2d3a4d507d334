#!/usr/bin/env bash
# Builds veltconv and runs the main job on the bundled sample data, in a work
# folder (the repository's own files stay unchanged).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
WORK=${WORK:-$(mktemp -d /tmp/veltconv-sample.XXXXXX)}
mkdir -p "$WORK/out"
"$BUILD_DIR/veltconv" layout "$WORK/out/tF1232401.DBF"
echo "Output folder: $WORK/out"
