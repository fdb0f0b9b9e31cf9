#!/usr/bin/env bash
# Compares the mirror engine (tavro-mirror) with rsync -a --delete and cp -a on
# generated trees, side by side in one run, and prints medians and ratios.
#
#   bash bench/mirror_bench.sh BUILD_DIR
#
# The trees go to $TAVRO_BENCH_DIR (default /var/tmp/tavro-bench). A first
# mirror goes into a target that never held anything (bench/fresh_target.sh),
# after the disk was synced and, when we may, the page cache dropped and the
# source read back in. Right after a mass deletion ext4 steps over the freed
# inodes when it makes new ones: for a minute, and for five while their inode
# table block is dirty, which the new files themselves make it. So the first
# mirror into a just deleted target is a row of its own, the fresh targets
# all stay until their rows are timed, and what creates files after a
# deletion waits first. rclone is compared where it is installed (make bench
# installs it). TAVRO_BENCH_ONLY=first times the first mirrors alone.
set -euo pipefail

build=${1:?usage: mirror_bench.sh BUILD_DIR}
build=$(cd "$build" && pwd)
mirror=$build/bench/tavro-mirror
gentree=$build/bench/tavro-gentree
fresh=$(cd "$(dirname "$0")" && pwd)/fresh_target.sh
export TAVRO_MIRROR=$mirror
work=${TAVRO_BENCH_DIR:-/var/tmp/tavro-bench}
runs=${TAVRO_BENCH_RUNS:-5}
out=$work/results
mkdir -p "$work" "$out"
cd "$work"

settle() {
  # $1: source tree to read back into the page cache
  sync
  if [ -w /proc/sys/vm/drop_caches ]; then echo 3 > /proc/sys/vm/drop_caches; fi
  find "$1" -type f -print0 | xargs -0 cat > /dev/null
}
export -f settle

if [ ! -d src/documents ]; then
  echo "Generating the trees in $work ..."
  "$gentree" documents src/documents
  "$gentree" small src/small
  "$gentree" media src/media
  # The changed source: 1% of the files rewritten, 1% deleted.
  cp -a src/documents src/changed
  "$gentree" mutate src/changed 1
fi
# A real tree: this machine's shared data (documentation, icons, locales).
if [ ! -d src/real ]; then cp -a /usr/share src/real; fi

median() { jq -r --arg name "$2" '.results[] | select(.command == $name) | .median' "$out/$1.json"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
ms() { awk -v s="$1" 'BEGIN { printf "%.0f ms", s * 1000 }'; }

peers=("cp" "rsync")
if command -v rclone > /dev/null; then peers+=("rclone"); fi

# $1: the results' name, $2: the source tree, $3: runs. Every tool alone and
# followed by sync; tavro's run ends with its own syncfs.
first_mirror() {
  local commands=()
  for tool in tavro tavro-no-sync "${peers[@]}"; do
    commands+=(--command-name "$tool" "bash $fresh $work $tool $2")
    case $tool in tavro*) ;; *) commands+=(--command-name "$tool+sync" "bash $fresh $work $tool+sync $2") ;; esac
  done
  hyperfine -N --runs "$3" --export-json "$out/$1.json" \
    --prepare "bash -c 'settle $work/$2'" "${commands[@]}"
}

# Waits out ext4's window after a mass deletion ($1 seconds, by default a
# minute), so what follows is timed on a settled file system.
quiet() {
  sync
  sleep "${TAVRO_BENCH_QUIET:-${1:-60}}"
}

# Copies left by an earlier bench are deleted long enough before the fresh
# targets are made that ext4 no longer steps over their inodes.
if [ -d fresh ]; then
  rm -rf fresh
  quiet 300
fi

echo "== first mirror of the documents tree into fresh targets"
first_mirror first src/documents "$runs"

# Every run of every tool keeps its copy of the real tree until the section
# ends; without room for them the rows are left out.
real_entries=$(find src/real | wc -l)
real_size=$(du -sh src/real | cut -f1)
real_runs=${TAVRO_BENCH_REAL_RUNS:-3}
real_needed=$(( $(du -sk src/real | cut -f1) * real_runs * (2 + 2 * ${#peers[@]}) ))
real=no
if [ "$(df -k --output=avail . | tail -n 1)" -gt $((real_needed + 4 * 1024 * 1024)) ]; then
  real=yes
  echo "== first mirror of a real tree into fresh targets"
  first_mirror real src/real "$real_runs"
else
  echo "== real tree skipped: its copies need $((real_needed / 1024 / 1024)) GiB free here"
fi
rm -rf fresh

echo "== first mirror right after the previous copy was deleted"
# The previous copy is deleted after the caches were dropped, as a user
# empties a backup and starts again: its inode tables stay in memory.
commands=(--command-name tavro "bash $fresh $work tavro src/documents $work/t-deleted")
for p in "${peers[@]}"; do
  commands+=(--command-name "$p+sync" "bash $fresh $work $p+sync src/documents $work/t-deleted")
done
hyperfine -N --runs "$runs" --export-json "$out/deleted.json" \
  --prepare "bash -c 'rm -rf $work/t-deleted; cp -a $work/src/documents $work/t-deleted; settle $work/src/documents; rm -rf $work/t-deleted; sync'" \
  "${commands[@]}"
rm -rf t-deleted
quiet

# $1: the results' name, $2: the scenario. Tavro against each peer followed
# by sync and against the best of them, and without its syncfs against each
# peer alone.
first_rows() {
  local t s best="" best_name="" p v
  t=$(median "$1" tavro); s=$(median "$1" tavro-no-sync)
  for p in "${peers[@]}"; do
    v=$(median "$1" "$p+sync")
    echo "| $2 | $(ms "$t") | $p + sync $(ms "$v") | $(ratio "$t" "$v") of $p |"
    if [ -z "$best" ] || awk -v a="$v" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$v best_name=$p; fi
  done
  echo "| $2 | $(ms "$t") | the best, $best_name + sync $(ms "$best") | $(ratio "$t" "$best") of the best (goal ≤ 0.75) |"
  for p in "${peers[@]}"; do
    v=$(median "$1" "$p")
    echo "| $2, without syncing | $(ms "$s") | $p alone $(ms "$v") | $(ratio "$s" "$v") of $p |"
  done
  echo "| $2, the closing syncfs | $(ms "$t") | without it $(ms "$s") | $(ratio "$t" "$s") of the run without |"
}
first_table() {
  first_rows first "first mirror, $doc_files files, fresh target"
  if [ "$real" = yes ]; then
    first_rows real "first mirror, real tree ($real_entries entries, $real_size), fresh target"
  else
    echo "| first mirror, real tree | skipped: too little room for its copies | | |"
  fi
  d_t=$(median deleted tavro)
  for p in "${peers[@]}"; do
    v=$(median deleted "$p+sync")
    goal=""; if [ "$p" = rsync ]; then goal=" (goal ≤ 1.00)"; fi
    echo "| first mirror right after the previous copy was deleted | $(ms "$d_t") | $p + sync $(ms "$v") | $(ratio "$d_t" "$v") of $p$goal |"
  done
}
doc_files=$(find src/documents -type f | wc -l)
table_head() {
  echo
  echo "| scenario | tavro | reference | ratio |"
  echo "|---|---|---|---|"
}
if [ "${TAVRO_BENCH_ONLY:-}" = first ]; then
  { table_head; first_table; } | tee "$out/summary.md"
  exit 0
fi

echo "== re-run with nothing changed"
rm -rf t-tavro t-rsync
"$mirror" src/documents t-tavro
rsync -a --delete src/documents/ t-rsync/
# Let the file system finish what the mass deletions and copies before left
# it, so the closing syncfs of each run is timed on a quiet disk.
sync
sleep "${TAVRO_BENCH_QUIET:-60}"
hyperfine -N --warmup 2 --runs $((runs * 3)) --export-json "$out/nochange.json" \
  --command-name tavro "$mirror src/documents t-tavro" \
  --command-name "tavro --no-sync" "$mirror --no-sync src/documents t-tavro" \
  --command-name "tavro --versions" "$mirror --versions 30 src/documents t-tavro" \
  --command-name "tavro --preview" "$mirror --preview src/documents t-tavro" \
  --command-name "tavro, in turn" "env TAVRO_NO_READ_AHEAD=1 $mirror src/documents t-tavro" \
  --command-name rsync "rsync -a --delete src/documents/ t-rsync/"

# Cold: every tool starts with the caches dropped and the disk synced, as a
# scheduled run after a night meets the trees.
cold=no
if [ -w /proc/sys/vm/drop_caches ]; then
  cold=yes
  echo "== re-run with nothing changed, cold cache"
  hyperfine -N --runs "$runs" --export-json "$out/cold.json" \
    --prepare "bash -c 'sync; echo 3 > /proc/sys/vm/drop_caches'" \
    --command-name tavro "$mirror src/documents t-tavro" \
    --command-name "tavro, in turn" "env TAVRO_NO_READ_AHEAD=1 $mirror src/documents t-tavro" \
    --command-name rsync "rsync -a --delete src/documents/ t-rsync/" \
    --command-name find "find src/documents t-tavro -printf %s"
else
  echo "== cold-cache runs skipped: /proc/sys/vm/drop_caches is not writable here"
fi

echo "== re-run after 1% changed and 1% deleted"
# Tavro's mirror of src/changed is t-changed/changed; rsync's its own folder.
mkdir -p t-changed/changed t-changed-rsync
hyperfine -N --runs $((runs * 2)) --export-json "$out/changed.json" \
  --prepare "bash -c 'rsync -a --delete $work/src/documents/ $work/t-changed/changed/ && rsync -a --delete $work/src/documents/ $work/t-changed-rsync/ && sync'" \
  --command-name tavro "$mirror src/changed t-changed" \
  --command-name "tavro --versions" "$mirror --versions 30 src/changed t-changed" \
  --command-name rsync "rsync -a --delete src/changed/ t-changed-rsync/"

echo "== first mirror of the media tree (large files)"
hyperfine -N --runs "$runs" --export-json "$out/media.json" \
  --prepare "bash -c 'rm -rf $work/t-media; settle $work/src/media'" \
  --command-name tavro "$mirror src/media t-media" \
  --command-name "tavro --no-sync" "$mirror --no-sync src/media t-media" \
  --command-name copy_file_range "$gentree cfr src/media t-media" \
  --command-name "cp -a" "cp -a src/media t-media"

echo "== a million files"
if [ ! -d src/million ]; then "$gentree" million src/million; fi
million_files=$(find src/million -type f | wc -l)
hyperfine -N --runs "${TAVRO_BENCH_MILLION_RUNS:-3}" --export-json "$out/million-first.json" \
  --prepare "bash -c 'rm -rf $work/t-million-first; settle $work/src/million'" \
  --command-name tavro "$mirror src/million t-million-first" \
  --command-name "cp -a" "cp -a src/million t-million-first"
rm -rf t-million-first t-million t-million-rsync
"$mirror" src/million t-million
rsync -a --delete src/million/ t-million-rsync/
sync
sleep "${TAVRO_BENCH_QUIET:-60}"
hyperfine -N --warmup 1 --runs "${TAVRO_BENCH_MILLION_RUNS:-3}" --export-json "$out/million-again.json" \
  --command-name tavro "$mirror src/million t-million" \
  --command-name "tavro, in turn" "env TAVRO_NO_READ_AHEAD=1 $mirror src/million t-million" \
  --command-name rsync "rsync -a --delete src/million/ t-million-rsync/"
if [ "$cold" = yes ]; then
  hyperfine -N --runs "${TAVRO_BENCH_MILLION_RUNS:-3}" --export-json "$out/million-cold.json" \
    --prepare "bash -c 'sync; echo 3 > /proc/sys/vm/drop_caches'" \
    --command-name tavro "$mirror src/million t-million" \
    --command-name "tavro, in turn" "env TAVRO_NO_READ_AHEAD=1 $mirror src/million t-million" \
    --command-name rsync "rsync -a --delete src/million/ t-million-rsync/"
fi

echo "== peak memory (maximum resident set, KiB)"
peak() { /usr/bin/time -f "%M" "$@" 2>&1 >/dev/null | tail -n 1; }
rm -rf t-mem-small t-mem-docs t-mem-media t-mem-rsync
mem_small=$(peak "$mirror" src/small t-mem-small)
mem_docs=$(peak "$mirror" src/documents t-mem-docs)
mem_docs_again=$(peak "$mirror" src/documents t-mem-docs)
mem_media=$(peak "$mirror" src/media t-mem-media)
mem_rsync=$(peak rsync -a --delete src/documents/ t-mem-rsync/)
mem_million=$(peak "$mirror" src/million t-million)
mem_million_rsync=$(peak rsync -a --delete src/million/ t-million-rsync/)
rm -rf t-mem-small t-mem-docs t-mem-media t-mem-rsync t-media

small_files=$(find src/small -type f | wc -l)

n_t=$(median nochange tavro); n_s=$(median nochange "tavro --no-sync"); n_r=$(median nochange rsync)
n_v=$(median nochange "tavro --versions"); n_p=$(median nochange "tavro --preview")
mf_t=$(median million-first tavro); mf_c=$(median million-first "cp -a")
ma_t=$(median million-again tavro); ma_r=$(median million-again rsync)
n_i=$(median nochange "tavro, in turn"); ma_i=$(median million-again "tavro, in turn")
c_t=$(median changed tavro); c_r=$(median changed rsync); c_v=$(median changed "tavro --versions")
m_t=$(median media tavro); m_s=$(median media "tavro --no-sync")
m_k=$(median media copy_file_range); m_c=$(median media "cp -a")

{
  table_head
  first_table
  echo "| re-run, nothing changed | $(ms "$n_t") | rsync $(ms "$n_r") | $(ratio "$n_t" "$n_r") of rsync |"
  echo "| re-run, nothing changed, lookups ahead | $(ms "$n_t") | in turn $(ms "$n_i") | $(ratio "$n_t" "$n_i") of in turn |"
  echo "| re-run, nothing changed, the closing syncfs | $(ms "$n_t") | without it $(ms "$n_s") | $(ratio "$n_t" "$n_s") of the run without |"
  if [ "$cold" = yes ]; then
    k_t=$(median cold tavro); k_r=$(median cold rsync); k_f=$(median cold find)
    echo "| re-run, nothing changed, cold cache | $(ms "$k_t") | rsync $(ms "$k_r") | $(ratio "$k_t" "$k_r") of rsync (goal ≤ 0.75) |"
    echo "| re-run, nothing changed, cold cache | $(ms "$k_t") | find over both trees $(ms "$k_f") | $(ratio "$k_t" "$k_f") of find (goal ≤ 1.10) |"
    k_i=$(median cold "tavro, in turn")
    echo "| re-run, nothing changed, cold cache, lookups ahead | $(ms "$k_t") | in turn $(ms "$k_i") | $(ratio "$k_t" "$k_i") of in turn |"
  else
    echo "| re-run, nothing changed, cold cache | skipped: the caches cannot be dropped here | | |"
  fi
  echo "| first mirror, $million_files files | $(ms "$mf_t") | cp -a $(ms "$mf_c") | $(ratio "$mf_t" "$mf_c") of cp -a (goal ≤ 1.00) |"
  echo "| re-run, nothing changed, $million_files files | $(ms "$ma_t") | rsync $(ms "$ma_r") | $(ratio "$ma_t" "$ma_r") of rsync (goal ≤ 0.60) |"
  echo "| re-run, nothing changed, $million_files files, lookups ahead | $(ms "$ma_t") | in turn $(ms "$ma_i") | $(ratio "$ma_t" "$ma_i") of in turn |"
  if [ "$cold" = yes ]; then
    mk_t=$(median million-cold tavro); mk_r=$(median million-cold rsync)
    echo "| re-run, nothing changed, $million_files files, cold cache | $(ms "$mk_t") | rsync $(ms "$mk_r") | $(ratio "$mk_t" "$mk_r") of rsync (goal ≤ 0.75) |"
    mk_i=$(median million-cold "tavro, in turn")
    echo "| re-run, nothing changed, $million_files files, cold cache, lookups ahead | $(ms "$mk_t") | in turn $(ms "$mk_i") | $(ratio "$mk_t" "$mk_i") of in turn |"
  fi
  echo "| re-run, nothing changed, versions kept | $(ms "$n_v") | versions off $(ms "$n_t") | $(ratio "$n_v" "$n_t") of versions off |"
  echo "| preview, nothing changed | $(ms "$n_p") | the run $(ms "$n_t") | $(ratio "$n_p" "$n_t") of the run |"
  echo "| re-run, 1% changed, 1% deleted | $(ms "$c_t") | rsync $(ms "$c_r") | $(ratio "$c_t" "$c_r") of rsync |"
  echo "| re-run, 1% changed, 1% deleted, versions kept | $(ms "$c_v") | versions off $(ms "$c_t") | $(ratio "$c_v" "$c_t") of versions off |"
  echo "| re-run, 1% changed, 1% deleted, versions kept | $(ms "$c_v") | rsync $(ms "$c_r") | $(ratio "$c_v" "$c_r") of rsync |"
  echo "| large files, first mirror | $(ms "$m_t") | copy_file_range $(ms "$m_k") | throughput $(ratio "$m_k" "$m_t") of copy_file_range |"
  echo "| large files, first mirror | $(ms "$m_t") | cp -a $(ms "$m_c") | $(ratio "$m_t" "$m_c") of cp -a |"
  echo "| large files, first mirror, without the closing syncfs | $(ms "$m_s") | copy_file_range $(ms "$m_k") | throughput $(ratio "$m_k" "$m_s") of copy_file_range |"
  echo
  echo "Medians of hyperfine runs. Peak memory of tavro-mirror: $mem_small KiB ($small_files files),"
  echo "$mem_docs KiB ($doc_files files, first mirror), $mem_docs_again KiB (re-run),"
  echo "$mem_media KiB (media), $mem_million KiB ($million_files files, re-run; goal under 16384);"
  echo "rsync: $mem_rsync KiB on the documents tree, $mem_million_rsync KiB on the million files."
} | tee "$out/summary.md"
