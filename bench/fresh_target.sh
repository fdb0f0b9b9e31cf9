#!/usr/bin/env bash
# Runs one copying tool from SRC into a target that never held anything:
# WORK/fresh/<n>, with n counted up in WORK/fresh/count. A deleted target
# would leave ext4 its recently freed inodes to step over for half a minute,
# which mirror_bench.sh times as a case of its own, naming the TARGET.
#
#   fresh_target.sh WORK TOOL SRC [TARGET]
#
# TOOL: tavro, tavro-no-sync, cp, cp+sync, rsync, rsync+sync, rclone,
# rclone+sync. The tavro mirror is made by $TAVRO_MIRROR; it syncs the
# target's file system itself unless told not to.
set -euo pipefail

work=$1 tool=$2 source=$3 target=${4:-}
if [ -z "$target" ]; then
  mkdir -p "$work/fresh"
  n=$(($(cat "$work/fresh/count" 2>/dev/null || echo 0) + 1))
  echo "$n" > "$work/fresh/count"
  target=$work/fresh/$n
fi

case "$tool" in
  tavro) exec "$TAVRO_MIRROR" "$source" "$target" > /dev/null ;;
  tavro-no-sync) exec "$TAVRO_MIRROR" --no-sync "$source" "$target" > /dev/null ;;
  cp) exec cp -a "$source" "$target" ;;
  rsync) exec rsync -a "$source/" "$target/" ;;
  rclone) exec rclone sync --links "$source" "$target" ;;
  cp+sync) cp -a "$source" "$target" && exec sync ;;
  rsync+sync) rsync -a "$source/" "$target/" && exec sync ;;
  rclone+sync) rclone sync --links "$source" "$target" && exec sync ;;
  *) echo "fresh_target.sh: unknown tool $tool" >&2; exit 2 ;;
esac
