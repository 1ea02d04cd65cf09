#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test: unit,
# widget (offscreen) and end-to-end (private X servers); then the unit and
# widget tests again under the sanitizers, and the fuzzers for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh ci
ctest --preset ci -j 2 --timeout 600

# The unit and widget tests once more under AddressSanitizer and
# UndefinedBehaviorSanitizer; any report fails the run.
scripts/build.sh asan
ctest --preset asan -j 2 --timeout 600

# Every fuzz target for a bounded time (about a minute) over a copy of its seeds.
scripts/fuzz.sh
