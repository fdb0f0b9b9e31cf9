#!/usr/bin/env bash
# How many times one press of "Uložit" replaces Tavro.ini, seen with strace.
#   bash bench/ini_writes.sh TAVRO_BINARY
set -euo pipefail
binary=$(realpath "${1:?usage: ini_writes.sh TAVRO_BINARY}")
work=$(mktemp -d /tmp/tavro-iniw-XXXXXX)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
for n in $(seq 150 190); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0
sleep 1
cp "$binary" "$work/tavro"
printf 'SRC,TRG,STAV\r\n' > "$work/Tavro.csv"
# Repeat mode: a press in a later minute than the start changes the next-run display.
printf '[Main]\nTAS=1\nTNT=1\nTNTmin=30\nAAZ=2\n' > "$work/Tavro.ini"
cd "$work"
strace -f -qq -e trace=rename,renameat,renameat2,fsync,fdatasync -o "$work/trace" ./tavro >/dev/null 2>&1 &
pids+=($!)
window=""
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --name '^Tavro' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "no window" >&2; exit 1; }
start=$(date +%M)
while [ "$(date +%M)" = "$start" ]; do sleep 1; done
sleep 2
# The file as the user left it, not as the start-up saved it: the press has
# something to write.
printf '[Main]\nTAS=1\nTNT=1\nTNTmin=30\nAAZ=2\n' > "$work/Tavro.ini"
xdotool mousemove --window "$window" 420 14 click 1
sleep 1
before=$(grep -c 'Tavro.ini' "$work/trace" || true)
syncs_before=$(grep -cE '^[0-9]+ +f(data)?sync' "$work/trace" || true)
xdotool mousemove --window "$window" 540 202 click 1
sleep 2
after=$(grep -c 'Tavro.ini' "$work/trace" || true)
syncs_after=$(grep -cE '^[0-9]+ +f(data)?sync' "$work/trace" || true)
grep -q 'DZP=0' "$work/Tavro.ini" || { echo "the press did not save" >&2; exit 1; }
echo "Tavro.ini replacements per \"Uložit\": $((after - before)); fsync/fdatasync calls: $((syncs_after - syncs_before))"
