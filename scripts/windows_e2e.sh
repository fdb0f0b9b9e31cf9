#!/usr/bin/env bash
# End-to-end for the Windows window program: tavro.exe under wine, on the X
# server, window manager and tray host windows_tests.sh started (DISPLAY and
# WINEPREFIX come from there).
#
#   bash scripts/windows_e2e.sh TAVRO_EXE ARTIFACT_DIR
#
# A temporary folder holds a copy of tavro.exe, a Tavro.csv of two pairs
# (one whose source is not there) and settings that start a run on the first
# tick. The script checks the tray icon and its balloon, the window hiding
# into the tray, a second start showing it, the settings panel, the preview
# and its "Zálohovat", "Zálohuj ihned", "Přerušit", the close question, and
# the log and the states the program leaves. Screenshots go to ARTIFACT_DIR
# as windows-*.png.
set -euo pipefail

exe=$(realpath "${1:?usage: windows_e2e.sh TAVRO_EXE ARTIFACT_DIR}")
session_end=$(dirname "$exe")/session_end.exe
artifacts=$(realpath -m "${2:?usage: windows_e2e.sh TAVRO_EXE ARTIFACT_DIR}")
mkdir -p "$artifacts"
work=$(mktemp -d /tmp/tavro-win-e2e-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/e2e_common.sh"

fail() {
  echo "windows e2e: $*" >&2
  import -window root "$artifacts/windows-failure.png" 2> /dev/null || true
  [ -f "$work/app.log" ] && tail -n 20 "$work/app.log" >&2
  exit 1
}

# The path as the program sees it: wine's drive Z: is the root.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# The icon wine's explorer docks into the tray host for the program.
tray_icon() {
  local id
  for id in $(xdotool search --onlyvisible --class explorer.exe 2> /dev/null); do
    [ "$(width_of "$id")" -le 64 ] && echo "$id"
  done | head -n 1
}
# The tray host's strip, as ImageMagick's crop geometry.
strip=
find_strip() {
  local id X Y WIDTH HEIGHT
  id=$(xdotool search --onlyvisible --class trayer 2> /dev/null | head -n 1)
  [ -n "$id" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$id")"
  strip="${WIDTH}x${HEIGHT}+${X}+${Y}"
  balloon_area="300x120+$((X + WIDTH - 300))+$((Y - 120))"
}
# How many pixels of the strip are the icon's blue (a blank slot has none),
# the warning sign's amber, and how many above the strip are a balloon's
# white.
count_pixels() {
  convert "$1" -crop "$2" +repage -fx "$3" -format '%[fx:round(mean * w * h)]' info:
}
icon_pixels() { count_pixels "$1" "$strip" '(b - r > 0.25) ? 1 : 0'; }
warning_pixels() { count_pixels "$1" "$strip" '(r > 0.85 && g > 0.6 && g < 0.85 && b < 0.25) ? 1 : 0'; }
balloon_pixels() { count_pixels "$1" "$balloon_area" '(r > 0.95 && g > 0.95 && b > 0.95) ? 1 : 0'; }

# Clicks at a point of the main window (in its inner coordinates).
click_at() {
  xdotool mousemove --window "$(main_window)" "$1" "$2" click 1
}

log_text() { cat "$work/Tavro.log" 2> /dev/null || true; }
count_in_log() { log_text | grep -c -- "$1" || true; }
at_least() { [ "$(count_in_log "$1")" -ge "$2" ]; }

find_strip || fail "no tray host"

cp "$exe" "$work/tavro.exe"
mkdir -p "$work/data/Dokumenty/projekty" "$work/data/Fotky léto" "$work/zaloha/Dokumenty"
echo "plán" > "$work/data/Dokumenty/projekty/plán.txt"
echo "dopis" > "$work/data/Dokumenty/Žluťoučký kůň.txt"
head -c 300000 /dev/urandom > "$work/data/Fotky léto/moře.jpg"
echo "stará" > "$work/zaloha/Dokumenty/smazany.txt"
# The table in UTF-8 with its mark: the folders' names are Czech.
printf '\xef\xbb\xbfSRC,TRG,STAV\r\n%s,%s,\r\n%s,%s,\r\n%s,%s,\r\n' \
  "$(winpath "$work/data/Dokumenty")" "$(winpath "$work/zaloha")" \
  "$(winpath "$work/data/Fotky léto")" "$(winpath "$work/zaloha")" \
  "$(winpath "$work/data/Odpojený")" "$(winpath "$work/zaloha")" > "$work/Tavro.csv"
# Repeat mode with an interval of 0: the run starts on the first tick.
printf '[Main]\r\nTAS=1\r\nTNT=1\r\nTNTmin=0\r\nAAZ=2\r\n' > "$work/Tavro.ini"
export TAVRO_STARTUP_FOLDER
TAVRO_STARTUP_FOLDER=$(winpath "$work/startup")
mkdir -p "$work/startup"

# With an interval of 0 the run is due in the minute of start-up only: start
# early in a minute.
start_program() {
  while [ "$((10#$(date +%S)))" -gt 30 ]; do sleep 1; done
  (cd "$work" && exec wine tavro.exe >> "$work/app.log" 2>&1) &
  app=$!
  pids+=($app)
}
start_program

wait_for 120 at_least '- Záloha OK: ' 2 || fail "no log entry with two pairs"
grep -q 'Nelze číst zdroj: ' "$work/Tavro.log" || fail "the failed pair is not in the log"
tray_with_balloon() {
  [ "$(icon_pixels "$1")" -gt 40 ] && [ "$(warning_pixels "$1")" -gt 10 ] &&
    [ "$(balloon_pixels "$1")" -gt 3000 ]
}
screenshot_until "$artifacts/windows-tray-with-balloon.png" tray_with_balloon 10 ||
  fail "no icon with its warning sign and balloon in the tray (see windows-tray-with-balloon.png)"

# Hidden into the tray on the first tick; a second start shows it and ends.
wait_for 20 no_main_window || fail "the window did not hide into the tray"
(cd "$work" && timeout 60 wine tavro.exe >> "$work/app.log" 2>&1) ||
  fail "a second start ended with status $?"
wait_for 20 has_main_window || fail "a second start did not show the first one's window"
[ "$(main_window | wc -l)" -eq 1 ] || fail "two windows"
kill -0 "$app" || fail "the first program ended"
sleep 1
import -window root "$artifacts/windows-window.png"
[ "$(xdotool getwindowname "$(main_window)")" = Tavro ] || fail "the window's title is not Tavro"

# "::: Nastavení :::" opens the panel over the window, and closes it again.
import -window "$(main_window)" "$work/closed.png"
click_at 420 12
sleep 2
import -window root "$artifacts/windows-settings-panel.png"
import -window "$(main_window)" "$work/open.png"
changed=$(compare -metric AE -crop 340x300+250+30 "$work/closed.png" "$work/open.png" null: 2>&1 || true)
[ "${changed%% *}" -gt 5000 ] 2> /dev/null || fail "the settings panel did not open ($changed pixels changed)"
# "Spouštět po přihlášení" makes the shortcut in the Startup folder and
# takes it away again.
click_at 275 279
wait_for 10 test -e "$work/startup/Tavro.lnk" || fail "no shortcut in the Startup folder"
click_at 275 279
wait_for 10 test ! -e "$work/startup/Tavro.lnk" || fail "the shortcut stayed in the Startup folder"
click_at 420 12

# "Schovat" hides the window, a click on the tray icon brings it back.
click_at 768 83
wait_for 10 no_main_window || fail "Schovat did not hide the window"
icon=$(tray_icon)
[ -n "$icon" ] || fail "no tray icon window"
xdotool mousemove --window "$icon" 10 12 click 1
wait_for 10 has_main_window || fail "a click on the tray icon did not show the window"
# The window manager put it where the mouse was, over the tray: back up.
xdotool windowmove "$(main_window)" 60 40
sleep 1

# The tray icon's menu: "Zobrazit program", "Náhled zálohy", "O programu",
# "Ukončit program" (no run, so no "Přerušit zálohu"), a line each.
tray_menu() {
  local id
  for id in $(xdotool search --onlyvisible --class tavro.exe 2> /dev/null); do
    [ -z "$(xdotool getwindowname "$id")" ] || continue
    eval "$(xdotool getwindowgeometry --shell "$id")"
    [ "$WIDTH" -gt 64 ] && [ "$HEIGHT" -lt 200 ] && echo "$id"
  done | head -n 1
}
has_tray_menu() { [ -n "$(tray_menu)" ]; }
xdotool mousemove --window "$icon" 10 12 click 3
wait_for 10 has_tray_menu || fail "no menu on the tray icon"
eval "$(xdotool getwindowgeometry --shell "$(tray_menu)")"
[ "$HEIGHT" -lt 90 ] || fail "the tray menu has more than four lines without a run"
xdotool mousemove --window "$(tray_menu)" 40 $((HEIGHT * 5 / 8)) click 1
wait_for 10 has_window 'O programu' || fail "'O programu' in the tray menu showed nothing"
import -window root "$artifacts/windows-about.png"
xdotool windowfocus --sync "$(shown_window 'O programu')" key Return
wait_for 10 no_window 'O programu' || fail "'O programu' did not close"

# The pair commands with the folder dialog: "Add source and target" asks
# for the source (it opens at the user's folder), then for the target (at
# the folder just confirmed, one up: its neighbour "Public"); "Edit source"
# opens at the folder last confirmed and Esc changes nothing; "Remove
# record" takes the new pair away again.
folder_dialog() { shown_window "$1"; }
has_folder_dialog() { [ -n "$(folder_dialog "$1")" ]; }
rows() { grep -c $'\r''$' "$work/Tavro.csv"; }
click_at 186 233
wait_for 20 has_folder_dialog 'Vyberte adresář k záloze' || fail "no folder dialog for the source"
import -window root "$artifacts/windows-folder-dialog.png"
xdotool windowfocus --sync "$(folder_dialog 'Vyberte adresář k záloze')" key Return
wait_for 20 has_folder_dialog 'Vyberte adresář kam zálohovat.' || fail "no folder dialog for the target"
xdotool windowfocus --sync "$(folder_dialog 'Vyberte adresář kam zálohovat.')" key Up
sleep 1
xdotool key Return
added() { grep -q '^C:\\users\\[^,]*,C:\\users\\Public,Neprovedeno'$'\r''$' "$work/Tavro.csv"; }
wait_for 20 added || fail "the new pair is not in Tavro.csv: $(cat "$work/Tavro.csv")"
[ "$(rows)" -eq 5 ] || fail "adding a pair did not make it the fourth ($(rows) lines)"
click_at 70 249
wait_for 20 has_folder_dialog 'Vyberte adresář k záloze' || fail "no folder dialog for Edit source"
xdotool windowfocus --sync "$(folder_dialog 'Vyberte adresář k záloze')" key Escape
wait_for 10 no_window 'Vyberte adresář k záloze' || fail "Esc did not close the folder dialog"
added || fail "Cancel in the folder dialog changed the pair"
click_at 420 249
wait_for 20 bash -c "! grep -q Public '$work/Tavro.csv'" || fail "Remove record left the pair"
[ "$(rows)" -eq 4 ] || fail "Remove record took more than the pair ($(rows) lines)"

# The grid edits in place: Ctrl+End goes to the last row's state, Enter
# opens its editor, typing replaces the text, Enter assigns it, and leaving
# the row (Up) stores it in the file; Down goes back to that row.
click_at 240 470
xdotool key ctrl+End Return
sleep 0.5
xdotool type upraveno
sleep 0.5
import -window "$(main_window)" "$artifacts/windows-grid-editor.png"
xdotool key Return Up
edited() { grep -q ',upraveno'$'\r''$' "$work/Tavro.csv"; }
wait_for 10 edited || fail "the cell typed in the grid is not in Tavro.csv: $(cat "$work/Tavro.csv")"
[ "$(rows)" -eq 4 ] || fail "editing a cell changed the number of pairs ($(rows) lines)"
xdotool key Down

# "Náhled" lists what a run would do; its "Zálohovat" runs it.
runs() { count_in_log '^-----'; }
echo "nový" > "$work/data/Dokumenty/nový.txt"
before=$(runs)
click_at 188 142
wait_for 20 has_window 'Náhled zálohy' || fail "no preview window"
sleep 1
import -window root "$artifacts/windows-preview.png"
preview=$(shown_window 'Náhled zálohy')
eval "$(xdotool getwindowgeometry --shell "$preview")"
xdotool mousemove --window "$preview" $((WIDTH - 60)) $((HEIGHT - 20)) click 1
wait_for 20 no_window 'Náhled zálohy' || fail "the preview stayed after Zálohovat"
wait_for 60 at_least '^-----' $((before + 1)) || fail "Zálohovat in the preview ran no backup"
[ -e "$work/zaloha/Dokumenty/nový.txt" ] || fail "the run from the preview did not copy nový.txt"

# "Zálohuj ihned" runs one more.
before=$(runs)
click_at 60 142
wait_for 60 at_least '^-----' $((before + 1)) || fail "Zálohuj ihned ran no backup"

# "Obnovit" on the first pair: its restore points and its tree; the oldest
# point (before the first run, which took smazany.txt from the backup)
# restored to its original place brings smazany.txt back into the source
# and leaves the files that are as they were. (It goes again afterwards: the
# later runs mirror its deletion.)
click_at 240 470
xdotool key ctrl+Home
click_at 794 497
wait_for 20 has_window 'Obnovit ze zálohy' || fail "Obnovit opened no restore window"
restore=$(shown_window 'Obnovit ze zálohy')
xdotool mousemove --window "$restore" 60 70 click 1
xdotool key End
sleep 1
import -window root "$artifacts/windows-restore.png"
eval "$(xdotool getwindowgeometry --shell "$restore")"
xdotool mousemove --window "$restore" $((WIDTH - 284)) $((HEIGHT - 22)) click 1
wait_for 30 test -e "$work/data/Dokumenty/smazany.txt" || fail "the restore did not bring smazany.txt back"
[ "$(cat "$work/data/Dokumenty/smazany.txt")" = "stará" ] || fail "the restored smazany.txt differs"
sleep 1
import -window root "$artifacts/windows-restore-report.png"
xdotool key Return
sleep 1
xdotool windowfocus --sync "$restore" key Escape
wait_for 10 no_window 'Obnovit ze zálohy' || fail "Esc did not close the restore window"
rm "$work/data/Dokumenty/smazany.txt"

# "Zobrazit přehled" opens the log in Notepad.
# Focus only: activating a window wine marks for every desktop would send
# the window manager to desktop -1, where nothing shows.
close_window_of() {
  xdotool windowfocus --sync "$1"
  xdotool key alt+F4
}
click_at 562 497
wait_for 30 has_window 'Tavro.log - .*' || fail "Zobrazit přehled opened no Notepad with the log"
close_window_of "$(shown_window 'Tavro.log - .*')"
wait_for 20 no_window 'Tavro.log - .*' || fail "Notepad did not close"

# "Přerušit" ends a long run within its pair.
# Many small folders: wine looks a new name up in its whole folder, so one
# big folder would make the run crawl.
for d in $(seq 1 40); do
  mkdir -p "$work/data/Dokumenty/mnoho/$d"
  for i in $(seq 1 50); do echo "$i" > "$work/data/Dokumenty/mnoho/$d/soubor-$i.txt"; done
done
click_at 60 142
sleep 2
# Live progress: the status on lime (the screenshot shows the pair, the
# counter and the current file).
import -window "$(main_window)" "$work/running.png"
cp "$work/running.png" "$artifacts/windows-run.png"
lime=$(count_pixels "$work/running.png" 218x20+40+170 '(g > 0.9 && r < 0.2 && b < 0.2) ? 1 : 0')
[ "$lime" -gt 1000 ] || fail "the status is not on lime during a run ($lime pixels, see windows-run.png)"
for _ in 1 2 3; do click_at 768 115; sleep 0.5; done
wait_for 60 at_least '- Záloha přerušena: ' 1 || fail "Přerušit did not interrupt the run"

# "Historie" opens the history of the pair on the grid's current row (the
# first run put smazany.txt there) in Explorer.
explorer_window() {
  local id
  for id in $(xdotool search --onlyvisible --class explorer.exe 2> /dev/null); do
    [ "$(width_of "$id")" -gt 200 ] && ! grep -qx "$id" <<<"$explorers_before" && echo "$id"
  done | head -n 1
}
has_explorer() { [ -n "$(explorer_window)" ]; }
# The grid's first pair (a run leaves the cursor on the last).
click_at 240 470
xdotool key ctrl+Home
explorers_before=$(xdotool search --onlyvisible --class explorer.exe 2> /dev/null || true)
click_at 698 497
wait_for 30 has_explorer || fail "Historie opened no Explorer window"
[ "$(xdotool getwindowname "$(explorer_window)")" = Dokumenty ] ||
  fail "Historie opened $(xdotool getwindowname "$(explorer_window)"), not the pair's history"
# Moved aside, not closed: its process also holds the tray.
xdotool windowmove "$(explorer_window)" 1100 900

# Closing the window asks first; No keeps the program, Yes ends it.
# A click on a bare spot first: wine gives the keys to the window it takes
# for the active one, which the Explorer window may still be.
close_window() {
  click_at 760 215
  close_window_of "$(main_window)"
}
close_window
wait_for 20 has_window Confirm || fail "closing the window asked nothing"
import -window root "$artifacts/windows-close-question.png"
xdotool key Tab Return
wait_for 10 no_window Confirm || fail "the close question did not go"
sleep 1
kill -0 "$app" || fail "No to the close question ended the program"
close_window
wait_for 20 has_window Confirm || fail "closing the window asked nothing the second time"
xdotool key Return
wait_for 30 bash -c "! kill -0 $app 2> /dev/null" || fail "Yes to the close question did not end the program"
wait "$app" || fail "the program ended with status $?"

grep -q ',Přerušeno'$'\r''$' "$work/Tavro.csv" || fail "the interrupted pair's state not written at the end"
grep -q ',Neprovedeno'$'\r''$' "$work/Tavro.csv" || fail "the pairs the interrupted run left are not marked so"

# Windows ending the session: the program agrees without asking, writes the
# states of its run and ends. (Its run copies what the interrupted one left.)
before=$(count_in_log '- Záloha OK: ')
start_program
wait_for 120 at_least '- Záloha OK: ' $((before + 2)) || fail "no run after the restart"
sleep 2
(cd "$work" && timeout 60 wine "$session_end") || fail "the window did not agree to end the session"
wait_for 30 bash -c "! kill -0 $app 2> /dev/null" || fail "the program did not end with the session"
[ "$(grep -c ',OK'$'\r''$' "$work/Tavro.csv")" -eq 2 ] || fail "the states were not written when the session ended"
grep -q ',Chyba'$'\r''$' "$work/Tavro.csv" || fail "the failed pair's state not written when the session ended"

[ "$(cat "$work/zaloha/Dokumenty/projekty/plán.txt")" = "plán" ] || fail "plán.txt not mirrored"
cmp -s "$work/data/Fotky léto/moře.jpg" "$work/zaloha/Fotky léto/moře.jpg" || fail "moře.jpg not mirrored"
[ ! -e "$work/zaloha/Dokumenty/smazany.txt" ] || fail "a deletion was not mirrored"
echo "windows e2e: passed"
