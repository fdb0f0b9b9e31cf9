#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#
#   bash scripts/fuzz.sh SECONDS [TARGET ...]
#
# Each target starts from its seed corpus (fuzz_corpus/ beside its source,
# committed) and keeps what it learns in build/fuzz/corpus/ (not committed).
# A crash leaves its input in build/fuzz/artifacts/ and fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-10}
shift || true
build=build/fuzz

declare -A seeds=(
  [pair_table_fuzz]=pairs/fuzz_corpus
  [profile_file_fuzz]=platform/fuzz_corpus
  [settings_rules_fuzz]=schedule/fuzz_corpus
)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${!seeds[@]}")

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTAVRO_FUZZ=ON -DTAVRO_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" >/dev/null

mkdir -p "$build/artifacts"
# The targets write their inputs to files; keep those out of the way.
export TMPDIR
TMPDIR=$(mktemp -d)
trap 'rm -rf "$TMPDIR"' EXIT
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  mkdir -p "$corpus"
  log=$build/$target.log
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$target-" "$corpus" "${seeds[$target]}" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "$target: FAILED (input kept in $build/artifacts/)"
    exit 1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  echo "$target: $runs runs in ${seconds}s, no failure"
done
