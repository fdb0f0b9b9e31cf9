#!/usr/bin/env bash
# The command line on real folders, without a display:
#
#   bash scripts/cli_test.sh TAVRO_BINARY
#
# A copy of the program in a temporary folder (no Tavro.ini beside it, so the
# settings and the log go to the XDG folders set here) runs --help, --version
# and --run over pairs that succeed, pairs that fail and a pair table that
# cannot be read, and once while another instance holds the lock.
set -euo pipefail

binary=$(realpath "${1:?usage: cli_test.sh TAVRO_BINARY}")
work=$(mktemp -d /tmp/tavro-cli-XXXXXX)
holder=
cleanup() {
  [ -n "$holder" ] && kill "$holder" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "cli: $*" >&2
  exit 1
}

cp "$binary" "$work/tavro"
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
export ASAN_OPTIONS=detect_leaks=0
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
cd "$work"

# Runs the program; its output in $out and $err, its status in $status.
run() {
  set +e
  "$work/tavro" "$@" >"$work/out" 2>"$work/err"
  status=$?
  set -e
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}

run --help
[ "$status" -eq 0 ] || fail "--help ended with $status: $err"
grep -q -- '--run' <<<"$out" || fail "--help does not tell about --run"
for file in "Nastavení: $work/config/tavro/Tavro.ini" "Přehled záloh: $work/state/tavro/Tavro.log" \
  "Seznam párů: $work/Tavro.csv"; do
  grep -qxF "$file" <<<"$out" || fail "--help does not say where its files are: $out"
done
run --version
[ "$status" -eq 0 ] && grep -q '^Tavro [0-9]' <<<"$out" || fail "--version: $status $out $err"
run --no-such-option
[ "$status" -eq 2 ] || fail "an unknown option ended with $status"

mkdir -p data/Dokumenty/projekty data/Fotky zaloha/Dokumenty
echo "plán" > data/Dokumenty/projekty/plan.txt
echo "foto" > data/Fotky/leto.jpg
echo "stará" > zaloha/Dokumenty/smazany.txt
printf 'SRC,TRG,STAV\r\n%s,%s,\r\n%s,%s,\r\n' \
  "$work/data/Dokumenty" "$work/zaloha" "$work/data/Fotky" "$work/zaloha" > Tavro.csv

run --run
[ "$status" -eq 0 ] || fail "a clean run ended with $status: $out $err"
[ "$(grep -c -- '- Záloha OK: ' <<<"$out")" -eq 2 ] || fail "the run's lines are not on the output: $out"
[ "$(cat zaloha/Dokumenty/projekty/plan.txt)" = "plán" ] || fail "plan.txt not mirrored"
[ ! -e zaloha/Dokumenty/smazany.txt ] || fail "a deletion was not mirrored"
[ "$(grep -c ',OK'$'\r''$' Tavro.csv)" -eq 2 ] || fail "the pair states were not saved"
grep -q -- '- Záloha OK: ' "$XDG_STATE_HOME/tavro/Tavro.log" || fail "no log entry in the state folder"
[ ! -e "$work/Tavro.ini" ] && [ ! -e "$work/Tavro.log" ] || fail "files beside the program"

printf '%s,%s,\r\n' "$work/data/gone" "$work/zaloha" >> Tavro.csv
run --run
[ "$status" -eq 1 ] || fail "a run with a failed pair ended with $status"
grep -q 'Nelze číst zdroj: ' <<<"$out" || fail "the failure is not on the output: $out"
grep -q ',Chyba'$'\r''$' Tavro.csv || fail "the failed pair's state was not saved"

# Every saved setting reaches a run, and the run saves none back.
mkdir -p "$XDG_CONFIG_HOME/tavro" zaloha/.tavro-historie/Fotky
old_run=$(date -d '99 days ago' '+%Y-%m-%d %H.%M.%S')
# Runs in between: a version ages by the steps between runs.
for days in 99 75 50 25; do
  mkdir -p "zaloha/.tavro-historie/Fotky/$(date -d "$days days ago" '+%Y-%m-%d %H.%M.%S')"
done
echo "verze" > "zaloha/.tavro-historie/Fotky/$old_run/stara.jpg"
printf 'SRC,TRG,STAV\r\n%s,%s,\r\n' "$work/data/Fotky" "$work/zaloha" > Tavro.csv
settings() {
  printf '[Main]\r\nT=7:30:00\r\nTAS=1\r\nTASmin=abc\r\nTNTmin=45\r\nAAZ=0\r\nTNT=1\r\nDZP=1\r\nSYNC=%s\r\nHIST=%s\r\n' "$1" "$2" \
    > "$XDG_CONFIG_HOME/tavro/Tavro.ini"
}
settings 1 3650
ini=$(cat "$XDG_CONFIG_HOME/tavro/Tavro.ini")
echo "nová" > data/Fotky/nova.jpg && rm data/Fotky/leto.jpg
run --run
[ "$status" -eq 0 ] || fail "a run with every key set ended with $status: $out $err"
[ -e "zaloha/.tavro-historie/Fotky/$old_run/stara.jpg" ] || fail "HIST=3650 did not keep a 99-day-old version"
ls zaloha/.tavro-historie/Fotky/*/leto.jpg >/dev/null 2>&1 || fail "the deleted file was not kept as a version"
[ "$ini" = "$(cat "$XDG_CONFIG_HOME/tavro/Tavro.ini")" ] || fail "--run wrote the settings back"
settings 1 30
echo "další" > data/Fotky/dalsi.jpg
run --run
[ ! -e "zaloha/.tavro-historie/Fotky/$old_run" ] || fail "HIST=30 kept a 99-day-old version"
settings 0 0
rm data/Fotky/nova.jpg
run --run
[ -e zaloha/Fotky/nova.jpg ] || fail "SYNC=0 still mirrored a deletion"
settings 1 0
runs=$(ls zaloha/.tavro-historie/Fotky | wc -l)
run --run
[ ! -e zaloha/Fotky/nova.jpg ] || fail "SYNC=1 did not mirror a deletion"
[ "$(ls zaloha/.tavro-historie/Fotky | wc -l)" -eq "$runs" ] || fail "HIST=0 still filled the history"

# A deletion that takes most of a backup needs --confirm-deletions.
for i in $(seq 30); do echo x > "zaloha/Fotky/f$i"; done
run --run
[ "$status" -eq 1 ] && grep -q 'Výmaz vynechán' <<<"$out" || fail "a mass deletion was not held back: $status $out"
[ -e zaloha/Fotky/f1 ] || fail "a mass deletion went ahead unconfirmed"
run --run --confirm-deletions
[ "$status" -eq 0 ] || fail "a confirmed mass deletion ended with $status: $out $err"
[ ! -e zaloha/Fotky/f1 ] || fail "a confirmed mass deletion did not go ahead"
run --confirm-deletions
[ "$status" -eq 2 ] || fail "--confirm-deletions without --run ended with $status"

# A folder without Tavro.csv (a timer's wrong working folder) is no success.
log_before=$(cat "$XDG_STATE_HOME/tavro/Tavro.log")
mkdir -p elsewhere
cd elsewhere
run --run
cd "$work"
[ "$status" -eq 2 ] && grep -q "ve složce $work/elsewhere není Tavro.csv" <<<"$err" \
  || fail "a run without Tavro.csv ended with $status: $err"
[ "$log_before" = "$(cat "$XDG_STATE_HOME/tavro/Tavro.log")" ] || fail "a run without Tavro.csv was logged"

# Settings that cannot be written (a read-only home) are no other instance:
# the run goes on, and says why there is no lock. As user 65534, where the
# permission bits count.
if setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null; then
  chmod 755 "$work"
  mkdir -p nobody/config/tavro nobody/state nobody/data/D nobody/zaloha
  echo d > nobody/data/D/d.txt
  printf 'SRC,TRG,STAV\r\n%s,%s,\r\n' "$work/nobody/data/D" "$work/nobody/zaloha" > nobody/Tavro.csv
  chown -R 65534:65534 nobody/state nobody/data nobody/zaloha nobody/Tavro.csv
  set +e
  (cd nobody && XDG_CONFIG_HOME=$work/nobody/config XDG_STATE_HOME=$work/nobody/state \
    setpriv --reuid=65534 --regid=65534 --clear-groups "$work/tavro" --run >"$work/out" 2>"$work/err")
  status=$?
  set -e
  err=$(cat "$work/err")
  [ "$status" -eq 0 ] || fail "a run with read-only settings ended with $status: $err"
  grep -q 'Nelze vytvořit zámek' <<<"$err" || fail "no reason given for the missing lock: $err"
  [ -e nobody/zaloha/D/d.txt ] || fail "a run with read-only settings backed nothing up"

  # A backup the user may only read (its permissions say so) gives its versions
  # back all the same, into a new folder beside the original, and keeps
  # every byte.
  as_nobody() {
    set +e
    (cd nobody && XDG_CONFIG_HOME=$work/nobody/config XDG_STATE_HOME=$work/nobody/state \
      setpriv --reuid=65534 --regid=65534 --clear-groups "$work/tavro" "$@" >"$work/out" 2>"$work/err")
    status=$?
    set -e
    out=$(cat "$work/out")
    err=$(cat "$work/err")
  }
  echo "druhá verze" > nobody/data/D/d.txt
  as_nobody --run
  chmod -R a-w nobody/zaloha
  snapshot() { (cd nobody/zaloha && find . -printf '%p %s %T@ %m\n' | sort && find . -type f -exec md5sum {} + | sort); }
  before=$(snapshot)
  as_nobody --versions "$work/nobody/data/D/d.txt"
  [ "$status" -eq 0 ] && [ "$(grep -c ' B  změněno ' <<<"$out")" -eq 2 ] \
    || fail "--versions of a read-only backup ended with $status: $out $err"
  stamp=$(ls nobody/zaloha/.tavro-historie/D)
  as_nobody --restore data/D/d.txt --as-of "$stamp"
  [ "$status" -eq 0 ] || fail "--restore from a read-only backup ended with $status: $out $err"
  [ "$(cat "nobody/data/D/d.txt (obnoveno $stamp)/d.txt")" = d ] \
    || fail "--restore did not bring the first version back: $(ls -R nobody/data)"
  [ "$(cat nobody/data/D/d.txt)" = "druhá verze" ] || fail "--restore changed the original"
  [ "$before" = "$(snapshot)" ] || fail "--restore changed the backup"
  as_nobody --restore data/D/d.txt --as-of "2020-13-01 00.00.00"
  [ "$status" -eq 2 ] || fail "a wrong --as-of ended with $status"
  chmod -R u+w nobody/zaloha
else
  echo "cli: skipped the read-only settings case: cannot switch to user 65534 here"
fi

printf 'NOT,A,HEADER\r\n' > Tavro.csv
run --run
[ "$status" -eq 2 ] && [ -n "$err" ] || fail "an unreadable pair table ended with $status: $err"

# The window program (on the offscreen platform) holds the lock.
printf 'SRC,TRG,STAV\r\n' > Tavro.csv
QT_QPA_PLATFORM=offscreen ./tavro >"$work/holder.log" 2>&1 &
holder=$!
for _ in $(seq 100); do
  [ -e "$XDG_CONFIG_HOME/tavro/Tavro.ini.lock" ] && break
  sleep 0.1
done
run --run
[ "$status" -eq 2 ] || fail "a run while the program runs ended with $status"
grep -q 'běží' <<<"$err" || fail "no reason given: $err"
kill -TERM "$holder"
wait "$holder" || fail "the window program ended with $? on SIGTERM"
holder=

echo "cli: passed"
