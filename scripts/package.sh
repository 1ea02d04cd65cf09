#!/usr/bin/env bash
# Builds the Debian package build/package/vornik-tools_<version>_<arch>.deb:
# a release build of the program alone (preset "package": no tests, no
# benchmarks), installed into a staging tree and packed by CPack, with the
# dependencies that dpkg-shlibdeps finds for the binary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset package >/dev/null
cmake --build --preset package -j "$(nproc)"
rm -rf build/package-build/cpack build/package
cpack --config build/package-build/CPackConfig.cmake -B build/package-build/cpack >/dev/null
mkdir -p build/package
cp build/package-build/cpack/*.deb build/package/
ls build/package/*.deb
