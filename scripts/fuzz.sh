#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a
# bounded time over a copy of its seeds, so that the committed seeds stay as
# they are. Fails when any target crashes, leaks, hangs or breaks a property;
# the input that did it is kept in the build folder under fuzz-artifacts/.
#
#   scripts/fuzz.sh [target...]     (default: all targets)
#   VORNIK_FUZZ_BUILD   build folder (default: build/fuzz)
#   VORNIK_FUZZ_SECONDS time per target (default: 12)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VORNIK_FUZZ_BUILD:-$root/build/fuzz}
seconds=${VORNIK_FUZZ_SECONDS:-12}
if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=(emailfilter collection addressfile mnemonics agg2d)
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVORNIK_FUZZ=ON -DVORNIK_BUILD_BENCH=OFF -DVORNIK_WERROR=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}" -j "$(nproc)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts="$build/fuzz-artifacts"
failed=0
for target in "${targets[@]}"; do
  dir="$work/$target"
  mkdir -p "$dir/corpus" "$artifacts/$target"
  cp "$root/tests/fuzz/corpus/$target/"* "$dir/corpus/"
  if (cd "$dir" && "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=5 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/$target/" corpus \
        >"$dir/log" 2>&1); then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
    cov=$(grep -o 'cov: [0-9]*' "$dir/log" | tail -n 1 || true)
    echo "fuzz_$target: ok, ${runs:-?} runs in ${seconds}s, ${cov:-cov: ?}, corpus $(ls "$dir/corpus" | wc -l) inputs"
  else
    echo "fuzz_$target: FAILED (inputs kept in $artifacts/$target/)"
    tail -n 40 "$dir/log"
    failed=1
  fi
done
exit "$failed"
