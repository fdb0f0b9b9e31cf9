#!/usr/bin/env bash
# End-to-end: the real program under Xvfb with a tray host.
#
#   bash scripts/e2e.sh TAVRO_BINARY ARTIFACT_DIR
#
# A temporary folder holds a copy of the program (so Tavro.ini and Tavro.log go
# beside it), a Tavro.csv of two pairs and settings that start a run on the
# first tick. The script waits for the run, checks the mirrored folders and the
# log, ends the program with SIGTERM and checks the pair states it wrote. A
# second start without a tray host checks that the window stays on screen.
# Screenshots of the tray with its balloon and of the window are kept in
# ARTIFACT_DIR.
set -euo pipefail

binary=$(realpath "${1:?usage: e2e.sh TAVRO_BINARY ARTIFACT_DIR}")
artifacts=$(realpath -m "${2:?usage: e2e.sh TAVRO_BINARY ARTIFACT_DIR}")
mkdir -p "$artifacts"
work=$(mktemp -d /tmp/tavro-e2e-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
[ -n "${TAVRO_E2E_KEEP:-}" ] && trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done' EXIT

source "$(dirname "$0")/e2e_common.sh"

fail() {
  echo "e2e: $*" >&2
  [ -f "$work/app.log" ] && tail -n 20 "$work/app.log" >&2
  exit 1
}

# Clicks (the arguments of xdotool after "mousemove") until the condition
# named last holds, for up to $1 seconds: a window that has just been mapped
# may not take a click yet on a loaded machine. Only for idempotent clicks.
click_until() {
  local seconds=$1 condition=${*: -1}
  local click=("${@:2:$#-2}")
  for _ in $(seq $(((seconds + 1) / 2))); do
    xdotool mousemove "${click[@]}" click 1
    wait_for 2 "$condition" && return 0
  done
  return 1
}

# With an interval of 0 the run is due in the minute of start-up only; a
# program that started in a minute's last seconds would see its first tick in
# the next one and not run until tomorrow. Start early in a minute, with half
# a minute to spare for a slow start.
start_program() {
  while [ "$((10#$(date +%S)))" -gt 30 ]; do sleep 1; done
  ./tavro >>"$work/app.log" 2>&1 &
  app=$!
  pids+=($app)
}

# How many pixels of the tray host's strip are the icon's blue: a blank
# icon leaves the strip grey.
tray_icon_pixels() {
  convert "$1" -crop 160x28+864+740 +repage -fx '(b - r > 0.25) ? 1 : 0' \
    -format '%[fx:round(mean * w * h)]' info:
}

# How many pixels of the strip are the warning sign's amber.
tray_warning_pixels() {
  convert "$1" -crop 160x28+864+740 +repage \
    -fx '(r > 0.85 && g > 0.6 && g < 0.85 && b < 0.25) ? 1 : 0' \
    -format '%[fx:round(mean * w * h)]' info:
}

# The program's icon in the tray host.
tray_icon() {
  local id
  for id in $(xdotool search --onlyvisible --class tavro 2>/dev/null); do
    [ "$(width_of "$id")" -le 64 ] && echo "$id"
  done | head -n 1
}

# A display of our own.
for n in $(seq 90 140); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
pids+=($xvfb_pid)
export DISPLAY=$display
wait_for 10 test -e "/tmp/.X11-unix/X${display#:}" || fail "Xvfb did not start"

trayer --edge bottom --align right --widthtype pixel --width 160 --heighttype pixel \
  --height 28 --tint 0x404040 --transparent false >/dev/null 2>&1 &
trayer_pid=$!
pids+=($trayer_pid)
has_tray_host() { xdotool search --onlyvisible --class trayer >/dev/null 2>&1; }
# A loaded machine (the Windows tests under wine beside this one) can take
# its time to map the tray.
wait_for 30 has_tray_host || fail "trayer did not start"

cp "$binary" "$work/tavro"
mkdir -p "$work/data/Dokumenty/projekty" "$work/data/Fotky" "$work/zaloha/Dokumenty"
echo "plán" > "$work/data/Dokumenty/projekty/plan.txt"
echo "dopis" > "$work/data/Dokumenty/dopis.txt"
head -c 300000 /dev/urandom > "$work/data/Fotky/leto.jpg"
echo "stará" > "$work/zaloha/Dokumenty/smazany.txt"
# Two pairs that go well and one whose source is not there.
printf 'SRC,TRG,STAV\r\n%s,%s,\r\n%s,%s,\r\n%s,%s,\r\n' \
  "$work/data/Dokumenty" "$work/zaloha" "$work/data/Fotky" "$work/zaloha" \
  "$work/data/Odpojeny" "$work/zaloha" > "$work/Tavro.csv"
# Repeat mode with an interval of 0: the run starts on the first tick.
printf '[Main]\nTAS=1\nTNT=1\nTNTmin=0\nAAZ=2\n' > "$work/Tavro.ini"

export ASAN_OPTIONS=detect_leaks=0
export QT_QPA_PLATFORM=xcb
cd "$work"
start_program

ok_lines() {
  local n
  n=$(grep -c -- '- Záloha OK: ' "$work/Tavro.log" 2>/dev/null || true)
  echo "${n:-0}"
}
at_least_ok_lines() { [ "$(ok_lines)" -ge "$1" ]; }
wait_for 60 at_least_ok_lines 2 || fail "no log entry with two pairs"
icon_with_warning() {
  [ "$(tray_icon_pixels "$1")" -gt 40 ] && [ "$(tray_warning_pixels "$1")" -gt 10 ]
}
screenshot_until "$artifacts/tray-with-balloon.png" icon_with_warning 20 ||
  fail "the tray icon is blank or shows no warning after a run with a failed pair (see $artifacts/tray-with-balloon.png)"
grep -q 'Nelze číst zdroj: ' "$work/Tavro.log" || fail "the failed pair is not in the log"

# A second start shows the running program's window and ends with status 0.
wait_for 20 no_main_window || fail "the window did not hide into the tray"
timeout 20 ./tavro >>"$work/app.log" 2>&1 || fail "a second start ended with status $?"
wait_for 10 has_main_window || fail "a second start did not show the first one's window"
[ "$(main_window | wc -l)" -eq 1 ] || fail "two windows"
kill -0 "$app" || fail "the first program ended"

# "Schovat", then a single click on the tray icon brings the window back.
click_until 10 --window "$(main_window)" 768 83 no_main_window || fail "Schovat did not hide the window"
icon=$(tray_icon)
[ -n "$icon" ] || fail "no tray icon window"
click_until 10 --window "$icon" 10 12 has_main_window ||
  fail "a click on the tray icon did not show the window"

[ "$(cat "$work/zaloha/Dokumenty/projekty/plan.txt")" = "plán" ] || fail "plan.txt not mirrored"
cmp -s "$work/data/Fotky/leto.jpg" "$work/zaloha/Fotky/leto.jpg" || fail "leto.jpg not mirrored"
[ ! -e "$work/zaloha/Dokumenty/smazany.txt" ] || fail "a deletion was not mirrored"
head -n 1 "$work/Tavro.log" | grep -q ':' || fail "log header missing"
sed -n 2p "$work/Tavro.log" | grep -q -- '^-\{37\}'$'\r''$' || fail "log separator missing"

kill -TERM "$app"
wait_for 20 bash -c "! kill -0 $app 2>/dev/null" || fail "SIGTERM did not end the program"
[ "$(grep -c ',OK'$'\r''$' "$work/Tavro.csv")" -eq 2 ] || fail "pair states not written at the end"
grep -q ',Chyba'$'\r''$' "$work/Tavro.csv" || fail "the failed pair's state not written at the end"

# An error box at start-up: the timer ticks under it, and the window still
# shows once it is closed and hides into the tray a second later.
mkdir -p "$work/bad"
cp "$binary" "$work/bad/tavro"
printf 'NOT,A,HEADER\r\n' > "$work/bad/Tavro.csv"
(cd "$work/bad" && exec ./tavro >>"$work/app.log" 2>&1) &
bad=$!
pids+=($bad)
wait_for 20 has_window Tavro || fail "no start-up error box"
sleep 3
box=$(shown_window Tavro)
xdotool windowfocus --sync "$box" key Return
# The box goes, the window comes, and the first tick after it hides it.
box_gone() { ! xdotool search --onlyvisible --name '^Tavro$' 2>/dev/null | grep -qx "$box"; }
wait_for 10 box_gone || fail "the start-up error box did not close"
wait_for 10 has_main_window || fail "the window did not show after the start-up error box"
wait_for 10 no_main_window || fail "the window stayed on screen after a start-up error box"
kill -TERM "$bad"
wait_for 20 bash -c "! kill -0 $bad 2>/dev/null" || fail "SIGTERM did not end the program"

# A signal while the start-up error box is open closes the box and ends the
# program the orderly way.
(cd "$work/bad" && exec ./tavro >>"$work/app.log" 2>&1) &
bad=$!
pids+=($bad)
wait_for 20 has_window Tavro || fail "no start-up error box"
sleep 2
kill -TERM "$bad"
wait_for 10 bash -c "! kill -0 $bad 2>/dev/null" || fail "SIGTERM under an error box did not end the program"
wait "$bad" || fail "the program ended with status $? after SIGTERM"

# A first start, with no pairs yet: the window stays with its hint in the
# empty grid (the tray icon, shown on the tick that would hide the window,
# tells that the moment has passed), and "O programu" in the tray menu.
mkdir -p "$work/first"
cp "$binary" "$work/first/tavro"
: > "$work/first/Tavro.ini"
printf 'SRC,TRG,STAV\r\n' > "$work/first/Tavro.csv"
(cd "$work/first" && exec ./tavro >>"$work/app.log" 2>&1) &
first=$!
pids+=($first)
has_tray_icon() { [ -n "$(tray_icon)" ]; }
wait_for 20 has_tray_icon || fail "the first start shows no tray icon"
sleep 1
has_main_window || fail "the first start hid its window with no pair to back up"
import -window root "$artifacts/first-run.png" || fail "no screenshot"
# The menu: "Zobrazit program", "Náhled zálohy", "O programu", "Ukončit program".
for _ in 1 2 3; do
  xdotool mousemove --window "$(tray_icon)" 10 12 click 3
  sleep 1
  xdotool key Down Down Down Return
  wait_for 5 has_window 'O programu' && break
done
has_window 'O programu' || fail "no 'O programu' from the tray menu"
import -window root "$artifacts/about.png" || fail "no screenshot"
xdotool windowfocus --sync "$(shown_window 'O programu')" key Return
wait_for 10 no_window 'O programu' || fail "'O programu' did not close"
kill -TERM "$first"
wait_for 20 bash -c "! kill -0 $first 2>/dev/null" || fail "SIGTERM did not end the first start"

# Without a tray host the window must stay where the user can reach it.
kill "$trayer_pid"
wait "$trayer_pid" 2>/dev/null || true
sleep 1
start_program
wait_for 60 at_least_ok_lines 4 || fail "no second run"
sleep 2
window=$(main_window)
[ -n "$window" ] || fail "the window is not shown"
import -window root "$artifacts/window.png" || fail "no screenshot"
# Read the whole answer first: it draws every size of the icon, and a grep -q
# that stops at the first match would kill xprop with SIGPIPE mid-way, which
# pipefail reports as a failure.
icon_property=$(xprop -id "$window" _NET_WM_ICON)
[[ $icon_property == *'Icon ('* ]] || fail "the window has no icon"

# The settings panel, open.
xdotool mousemove --window "$window" 420 14 click 1
sleep 1
import -window root "$artifacts/settings-panel.png" || fail "no screenshot"
xdotool mousemove --window "$window" 420 14 click 1

# The folder dialog of "Add source and target", titled as the program says.
xdotool mousemove --window "$window" 186 233 click 1
wait_for 10 has_window 'Vyberte adresář k záloze' ||
  fail "no folder dialog titled exactly 'Vyberte adresář k záloze': $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' '|')"
# Mapped is not yet painted: the screenshot waits, as the preview's does.
sleep 1
import -window root "$artifacts/folder-dialog.png" || fail "no screenshot"
xdotool windowfocus --sync "$(shown_window 'Vyberte adresář k záloze')" key Escape
wait_for 10 no_window 'Vyberte adresář k záloze' || fail "the folder dialog did not close"
# "Náhled" after the sources changed: the preview window lists what a run
# would do, and the disk stays as it was.
echo "nový" > "$work/data/Dokumenty/novy.txt"
rm "$work/data/Fotky/leto.jpg"
xdotool mousemove --window "$window" 191 142 click 1
wait_for 10 has_window 'Náhled zálohy' || fail "no preview window titled 'Náhled zálohy'"
sleep 1
import -window root "$artifacts/preview.png" || fail "no screenshot"
[ ! -e "$work/zaloha/Dokumenty/novy.txt" ] || fail "the preview copied a file"
[ -e "$work/zaloha/Fotky/leto.jpg" ] || fail "the preview deleted a file"
xdotool windowfocus --sync "$(shown_window 'Náhled zálohy')" key Escape
wait_for 10 no_window 'Náhled zálohy' || fail "the preview window did not close"

# A pair removed in the grid is in the file at once: the display goes away
# (a logout that kills the session) right after the answer.
grep -q 'Odpojeny' "$work/Tavro.csv" || fail "the third pair is not in the table"
xdotool mousemove --window "$window" 100 296 click 1
xdotool windowfocus --sync "$window" key Down Down ctrl+Delete
wait_for 10 has_window Confirm || fail "no question before a pair is removed"
xdotool windowfocus --sync "$(shown_window Confirm)" key Return
wait_for 10 no_window Confirm || fail "the question did not close"
kill -KILL "$xvfb_pid"
wait_for 20 bash -c "! kill -0 $app 2>/dev/null" || fail "the program outlived its display"
! grep -q 'Odpojeny' "$work/Tavro.csv" || fail "the removed pair is still in Tavro.csv"
[ "$(grep -c "$work/data/" "$work/Tavro.csv")" -eq 2 ] || fail "another pair went with the removed one"
echo "e2e: passed (screenshots in $artifacts)"
