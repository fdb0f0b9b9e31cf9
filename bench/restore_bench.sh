#!/usr/bin/env bash
# What a restore of 10,000 files costs against cp -a of the same files: a
# pair of 100 folders of 100 small files is backed up by `tavro --run`, then
# deleted from its source and backed up again, so that every file lies in
# the history. Each round times, side by side, cp -a of the pair folder, a
# restore of the pair as it is now (the pair folder) and a restore as of the
# run that deleted it (every file from the history), each into a folder that
# never held anything, after a sync and with the backup in the cache.
#
#   bash bench/restore_bench.sh BUILD_DIR [ROUNDS]
set -euo pipefail

build=$(cd "${1:?usage: restore_bench.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-5}
work=$(mktemp -d "${TAVRO_BENCH_DIR:-/var/tmp/tavro-bench}/restore-XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
cd "$work"

mkdir -p data/docs backup out
for d in $(seq -w 1 100); do
  mkdir "data/docs/folder $d"
  for f in $(seq -w 1 100); do
    printf 'soubor %s/%s %0900d\n' "$d" "$f" 0 > "data/docs/folder $d/file $f.txt"
  done
done
printf 'SRC,TRG,STAV\r\n%s,%s,\r\n' "$work/data/docs" "$work/backup" > Tavro.csv
"$build/app/tavro" --run > /dev/null
# One file stays: a source that is empty altogether is taken for a lost one.
rm -rf data/docs/folder*
echo "zůstává" > data/docs/keep.txt
"$build/app/tavro" --run --confirm-deletions > /dev/null
stamp=$(ls backup/.tavro-historie/docs)
[ "$(find "backup/.tavro-historie/docs/$stamp" -type f | wc -l)" -eq 10000 ] ||
  { echo "the history does not hold the 10,000 files" >&2; exit 1; }
# The pair folder holds them again for the copy and the restore of now.
cp -a "backup/.tavro-historie/docs/$stamp/." backup/docs/

# The file system is slow to create files for a minute after a mass delete.
sync
if [ -w /proc/sys/vm/drop_caches ]; then echo 3 > /proc/sys/vm/drop_caches; fi
sleep "${TAVRO_SETTLE_SECONDS:-60}"

fresh() { mkdir "out/$1"; echo "$work/out/$1"; }
timed() {
  sync
  find backup -type f -print0 | xargs -0 cat > /dev/null
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: > cp.times; : > now.times; : > history.times
for round in $(seq "$rounds"); do
  cp_s=$(timed cp -a backup/docs "$(fresh "$round-cp")")
  now_s=$(timed "$build/app/tavro" --restore "$work/data/docs" --to "$(fresh "$round-now")")
  history_s=$(timed "$build/app/tavro" --restore "$work/data/docs" --as-of "$stamp" \
    --to "$(fresh "$round-history")")
  echo "round $round: cp -a $cp_s s, restore now $now_s s, restore from the history $history_s s"
  echo "$cp_s" >> cp.times; echo "$now_s" >> now.times; echo "$history_s" >> history.times
done
for dest in out/*; do
  [ "$(find "$dest" -type f | wc -l)" -ge 10000 ] || { echo "$dest lacks files" >&2; exit 1; }
done
cp_m=$(median < cp.times) now_m=$(median < now.times) history_m=$(median < history.times)
echo "medians of $rounds: cp -a $cp_m s, restore now $now_m s ($(awk -v a="$now_m" -v b="$cp_m" 'BEGIN { printf "%.2f", a / b }') x), restore from the history $history_m s ($(awk -v a="$history_m" -v b="$cp_m" 'BEGIN { printf "%.2f", a / b }') x)"
