#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test: unit,
# widget (offscreen) and end-to-end (private X servers); then builds, checks,
# installs and removes the Debian package; then the unit and widget tests
# again under the sanitizers, and the fuzzers for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh ci
ctest --preset ci -j 2 --timeout 600

# The Debian package: lintian finds no errors, its menu entry and metainfo
# validate, and it installs, runs for an unprivileged user and is removed
# cleanly on this machine.
scripts/package.sh
deb=$(ls build/package/vornik-tools_*.deb)
lintian --fail-on error --tag-display-limit 0 "$deb"
unpacked=$(mktemp -d)
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked"/usr/share/applications/vornik-tools.desktop
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
rm -rf "$unpacked"
bash tests/e2e/install.sh "$deb"

# The unit and widget tests once more under AddressSanitizer and
# UndefinedBehaviorSanitizer; any report fails the run.
scripts/build.sh asan
ctest --preset asan -j 2 --timeout 600

# Every fuzz target for a bounded time (about a minute) over a copy of its seeds.
scripts/fuzz.sh
