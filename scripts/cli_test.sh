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
  ./tavro "$@" >"$work/out" 2>"$work/err"
  status=$?
  set -e
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}

run --help
[ "$status" -eq 0 ] || fail "--help ended with $status: $err"
grep -q -- '--run' <<<"$out" || fail "--help does not tell about --run"
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
