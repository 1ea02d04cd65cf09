#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test: unit,
# widget (offscreen) and end-to-end (private X servers).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh ci
ctest --preset ci -j 2 --timeout 600
