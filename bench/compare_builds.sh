#!/usr/bin/env bash
# Times the re-runs of two builds of the mirror engine side by side, as a
# change to the engine is checked for a regression: nothing changed, and 1%
# of the files changed and 1% deleted, with and without versions.
#
#   bash bench/compare_builds.sh BEFORE_BUILD_DIR AFTER_BUILD_DIR
#
# The trees go to $TAVRO_BENCH_DIR (default /var/tmp/tavro-bench), shared
# with mirror_bench.sh.
set -euo pipefail

before=$(cd "${1:?usage: compare_builds.sh BEFORE_BUILD_DIR AFTER_BUILD_DIR}" && pwd)/bench/tavro-mirror
after=$(cd "${2:?usage: compare_builds.sh BEFORE_BUILD_DIR AFTER_BUILD_DIR}" && pwd)/bench/tavro-mirror
gentree=$(dirname "$after")/tavro-gentree
work=${TAVRO_BENCH_DIR:-/var/tmp/tavro-bench}
runs=${TAVRO_BENCH_RUNS:-5}
out=$work/results
mkdir -p "$work" "$out"
cd "$work"

if [ ! -d src/documents ]; then
  "$gentree" documents src/documents
fi
if [ ! -d src/changed ]; then
  cp -a src/documents src/changed
  "$gentree" mutate src/changed 1
fi

rm -rf t-before t-after t-changed-before t-changed-after
"$before" src/documents t-before
"$after" src/documents t-after
# Older builds mirrored SRC into TRG itself, newer ones into TRG/<name>.
mirror_of() { if [ -d "$1/documents" ]; then echo "$1/changed/"; else echo "$1/"; fi; }
changed_before=$(mirror_of t-before)
changed_after=$(mirror_of t-after)
mkdir -p "${changed_before/t-before/t-changed-before}" "${changed_after/t-after/t-changed-after}"
# The file system settles after the mass creation before anything is timed.
sync
sleep "${TAVRO_BENCH_QUIET:-60}"

echo "== re-run with nothing changed"
hyperfine -N --warmup 2 --runs $((runs * 3)) --export-json "$out/compare-nochange.json" \
  --command-name before "$before src/documents t-before" \
  --command-name after "$after src/documents t-after" \
  --command-name "before --versions" "$before --versions 30 src/documents t-before" \
  --command-name "after --versions" "$after --versions 30 src/documents t-after"

echo "== re-run after 1% changed and 1% deleted"
hyperfine -N --runs $((runs * 2)) --export-json "$out/compare-changed.json" \
  --prepare "bash -c 'rsync -a --delete $work/src/documents/ ${changed_before/t-before/$work/t-changed-before} && rsync -a --delete $work/src/documents/ ${changed_after/t-after/$work/t-changed-after} && sync'" \
  --command-name before "$before src/changed t-changed-before" \
  --command-name after "$after src/changed t-changed-after" \
  --command-name "before --versions" "$before --versions 30 src/changed t-changed-before" \
  --command-name "after --versions" "$after --versions 30 src/changed t-changed-after"

median() { jq -r --arg name "$2" '.results[] | select(.command == $name) | .median' "$out/$1.json"; }
row() {
  awk -v s="$2" -v a="$3" -v label="$1" \
    'BEGIN { printf "| %s | %.0f ms | %.0f ms | %.2f |\n", label, s * 1000, a * 1000, a / s }'
}
{
  echo
  echo "| scenario | before | after | after / before |"
  echo "|---|---|---|---|"
  row "nothing changed" "$(median compare-nochange before)" "$(median compare-nochange after)"
  row "nothing changed, versions" "$(median compare-nochange "before --versions")" \
    "$(median compare-nochange "after --versions")"
  row "1% changed, 1% deleted" "$(median compare-changed before)" "$(median compare-changed after)"
  row "1% changed, 1% deleted, versions" "$(median compare-changed "before --versions")" \
    "$(median compare-changed "after --versions")"
} | tee "$out/compare-summary.md"
