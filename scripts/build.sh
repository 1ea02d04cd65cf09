#!/usr/bin/env bash
# Configures and builds one preset (default: "default"); with targets named
# after the preset, only those targets and what they need.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
shift || true
targets=()
(($# == 0)) || targets=(--target "$@")
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" "${targets[@]}"
