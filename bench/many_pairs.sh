#!/usr/bin/env bash
# Whether a run over many pairs costs no more than its pairs run one by one
# (tavro-many-pairs, in one process, so no program start is counted), on
# PAIRS small trees of 40 files of 0-2 KiB in two folders, made once.
#
#   bash bench/many_pairs.sh BUILD_DIR [PAIRS]
set -euo pipefail

build=$(cd "${1:?usage: many_pairs.sh BUILD_DIR [PAIRS]}" && pwd)
pairs=${2:-200}
work=${TAVRO_BENCH_DIR:-/var/tmp/tavro-bench}/many
if [ ! -d "$work/src/p$pairs" ]; then
  echo "Generating $pairs small trees in $work/src ..."
  for i in $(seq 1 "$pairs"); do
    for folder in a b; do
      mkdir -p "$work/src/p$i/$folder"
      for j in $(seq 1 20); do
        head -c $(((i * 131 + j * 17) % 2048)) /dev/zero | tr '\0' 'x' > "$work/src/p$i/$folder/f$j.txt"
      done
    done
  done
fi
sync
"$build/bench/tavro-many-pairs" "$work/src" "$pairs" "$work/t" "${TAVRO_BENCH_PAIR_ROUNDS:-5}"
rm -rf "$work/t"
