#!/usr/bin/env bash
# tavro.exe's command line under wine on real folders:
#
#   bash scripts/windows_cli_test.sh TAVRO_EXE
#
# Run with WINEPREFIX set and a wineserver running (windows_tests.sh does
# both). A portable copy of the program (an empty Tavro.ini beside it, so
# that its files stay there) mirrors two pairs, then mirrors a change and a
# deletion (the deleted file kept in the history), and a pair whose source
# is gone fails without touching its old backup; a second run beside a
# first one is refused; Ctrl+C and a closing console stop a run after its
# pair. Paths are Windows paths with backslashes, on wine's
# drive Z:, which is /.
set -euo pipefail

exe=$(realpath "${1:?usage: windows_cli_test.sh TAVRO_EXE CONSOLE_EVENT_EXE}")
console_event=$(realpath "${2:?usage: windows_cli_test.sh TAVRO_EXE CONSOLE_EVENT_EXE}")
work=$(mktemp -d /tmp/tavro-wcli-XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "windows cli: $*" >&2
  exit 1
}
# The Windows path of a path under $work.
win() { echo "Z:${work//\//\\}${1:+\\${1//\//\\}}"; }

mkdir -p "$work/program"
cp "$exe" "$work/program/tavro.exe"
: > "$work/program/Tavro.ini"
cd "$work"

run() {
  set +e
  env LC_ALL=cs_CZ.UTF-8 wine "$work/program/tavro.exe" "$@" > "$work/out" 2> "$work/err"
  status=$?
  set -e
  out=$(tr -d '\r' < "$work/out")
  err=$(tr -d '\r' < "$work/err")
}

run --version
[ "$status" -eq 0 ] && grep -q '^Tavro [0-9]' <<<"$out" || fail "--version: $status $out $err"
# The version resource says the same (its texts are UTF-16).
resource_version=$(strings -el "$exe" | grep -A1 -x FileVersion | tail -n 1)
[ "Tavro $resource_version" = "$(head -n 1 <<<"$out" | tr -d '\r')" ] ||
  fail "the version resource says '$resource_version', --version '$out'"
run --help
grep -qxF "Seznam párů: $(win Tavro.csv)" <<<"$out" || fail "--help does not name Tavro.csv: $out"
grep -qxF "Přehled záloh: $(win program/Tavro.log)" <<<"$out" ||
  fail "a portable program does not keep its log beside it: $out"

mkdir -p "data/Účty/2026" data/Fotky zaloha
echo "plán" > "data/Účty/2026/plán.txt"
echo "foto" > data/Fotky/leto.jpg
# The table as a Czech Windows user has it: Windows-1250, CR LF.
table() {
  printf 'SRC,TRG,STAV\r\n%s,%s,%s\r\n%s,%s,%s\r\n' "$(win data/Účty)" "$(win zaloha)" "$1" \
    "$(win data/Fotky)" "$(win zaloha)" "$1" | iconv -f UTF-8 -t CP1250
}
table "" > Tavro.csv
run --run
[ "$status" -eq 0 ] || fail "a clean run ended with $status: $out $err"
grep -qF -- "- Záloha OK: $(win data/Účty)" <<<"$out" || fail "the run's lines: $out"
[ "$(cat "zaloha/Účty/2026/plán.txt")" = "plán" ] || fail "plán.txt was not mirrored"
cmp -s Tavro.csv <(table OK) || fail "the table was not written back in its code page: $(od -c Tavro.csv)"
[ "$(head -c 3 program/Tavro.log | od -An -tx1)" = " ef bb bf" ] || fail "a new log is not UTF-8"
grep -qF -- "- Záloha OK: $(win data/Fotky)" program/Tavro.log || fail "no log entry beside the program"

echo "nové" > data/Fotky/leto.jpg
touch -d '1 hour ago' data/Fotky/leto.jpg
echo "zima" > data/Fotky/zima.jpg
rm "data/Účty/2026/plán.txt"
run --run
[ "$status" -eq 0 ] || fail "the second run ended with $status: $out $err"
[ "$(cat zaloha/Fotky/leto.jpg)" = "nové" ] && [ -e zaloha/Fotky/zima.jpg ] ||
  fail "the change was not mirrored"
[ ! -e "zaloha/Účty/2026/plán.txt" ] || fail "the deletion was not mirrored"
ls zaloha/.tavro-historie/Účty/*/2026/plán.txt > /dev/null 2>&1 ||
  fail "the deleted file is not in the history: $(find zaloha)"
ls zaloha/.tavro-historie/Fotky/*/leto.jpg > /dev/null 2>&1 ||
  fail "the replaced copy is not in the history: $(find zaloha)"

# The history gives the deleted file back: --versions lists the run that
# deleted it, and --restore as of that run puts it into a new folder beside
# where it was.
stamp=$(ls zaloha/.tavro-historie/Účty)
# (The path typed in other letter case: the pair is found all the same, as
# the folders that exist are looked up by their real names.)
run --versions "$(win data/Účty/2026/plán.txt | sed 's/data/DATA/')"
[ "$status" -eq 0 ] && grep -qF "$stamp" <<<"$out" || fail "--versions: $status $out $err"
run --restore "$(win data/Účty/2026/plán.txt)" --as-of "$stamp"
[ "$status" -eq 0 ] && [ "$(cat "data/Účty/2026/plán.txt (obnoveno $stamp)/plán.txt")" = plán ] ||
  fail "--restore: $status $out $err $(find data)"
rm -r "data/Účty/2026/plán.txt (obnoveno $stamp)"

# Windows takes Zima.jpg and zima.jpg for one name: the copy follows the
# source's new case, neither copied again nor kept as deleted.
mv data/Fotky/zima.jpg data/Fotky/Zima.jpg
run --run
[ "$status" -eq 0 ] || fail "the run after a change of case ended with $status: $out $err"
[ "$(ls zaloha/Fotky)" = "$(printf 'Zima.jpg\nleto.jpg')" ] ||
  fail "the copy did not follow the source's case: $(ls zaloha/Fotky)"
! ls zaloha/.tavro-historie/Fotky/*/[zZ]ima.jpg > /dev/null 2>&1 ||
  fail "a change of case put the copy into the history"

# A path the code page cannot hold (the window can take one): the table
# stays UTF-8 with its byte-order mark, never a "?" in a path.
mkdir -p data/東京 && echo "k" > data/東京/k.txt
{ printf '\xEF\xBB\xBF'; table OK | iconv -f CP1250 -t UTF-8
  printf '%s,%s,\r\n' "$(win data/東京)" "$(win zaloha)"; } > Tavro.csv
run --run
[ "$status" -eq 0 ] && grep -qF -- "- Záloha OK: $(win data/東京)" <<<"$out" ||
  fail "the UTF-8 table was not read right: $status $out $err"
[ -e zaloha/東京/k.txt ] || fail "the pair with a path beyond the code page was not mirrored"
[ "$(head -c 3 Tavro.csv | od -An -tx1)" = " ef bb bf" ] &&
  grep -qF "$(win data/東京),$(win zaloha),OK" Tavro.csv ||
  fail "a path beyond the code page was not written as UTF-8: $(od -c Tavro.csv | head)"

mv data/Fotky data/Fotky-pryč
run --run
[ "$status" -eq 1 ] || fail "a run with a missing source ended with $status: $out"
grep -q 'Nelze číst zdroj: ' <<<"$out" || fail "the missing source has no line: $out"
[ "$(cat zaloha/Fotky/leto.jpg)" = "nové" ] || fail "a missing source's backup was touched"
grep -q ',Chyba'$'\r''$' Tavro.csv || fail "the failed pair's state was not written"
# One program per settings file: a second --run while the first runs ends
# with 2 and touches nothing. (Under wine a pair of many files in one folder
# takes long enough: every new name is looked for in the whole folder, as
# wine folds case itself.)
mkdir -p data/Velká
for i in $(seq 1000); do echo "$i" > "data/Velká/s$i.txt"; done
printf 'SRC,TRG,STAV\r\n%s,%s,\r\n' "$(win data/Velká)" "$(win zaloha)" |
  iconv -f UTF-8 -t CP1250 > Tavro.csv
env LC_ALL=cs_CZ.UTF-8 wine "$work/program/tavro.exe" --run > "$work/first" 2>&1 &
first=$!
for _ in $(seq 200); do [ -d zaloha/Velká ] && break; sleep 0.1; done
run --run
[ "$status" -eq 2 ] && grep -q "program už běží" <<<"$err" ||
  fail "a second run beside the first ended with $status: $out $err"
wait "$first" || fail "the first run ended with $?: $(cat "$work/first")"
[ "$(ls zaloha/Velká | wc -l)" -eq 1000 ] || fail "the first run did not finish its pair"
# Ctrl+C (0) and the console closing (2) stop the run after the pair it is
# on; the states and the log are written before the program ends, which a
# closing console waits for.
mkdir -p data/Stop
for i in $(seq 600); do echo "$i" > "data/Stop/s$i.txt"; done
for event in 0 2; do
  mkdir "stop$event"
  printf 'SRC,TRG,STAV\r\n%s,%s,\r\n%s,%s,\r\n' "$(win data/Stop)" "$(win stop$event)" \
    "$(win data/Fotky-pryč)" "$(win stop$event)" | iconv -f UTF-8 -t CP1250 > Tavro.csv
  env LC_ALL=cs_CZ.UTF-8 wine "$work/program/tavro.exe" --run > "$work/stopped" 2>&1 &
  running=$!
  for _ in $(seq 200); do [ -d "stop$event/Stop" ] && break; sleep 0.1; done
  wine "$console_event" tavro.exe "$event" 2> "$work/event" ||
    fail "event $event was not delivered: $(cat "$work/event")"
  set +e
  wait "$running"
  status=$?
  set -e
  out=$(tr -d '\r' < "$work/stopped")
  [ "$status" -eq 1 ] && grep -q "Záloha přerušena ukončením programu !!!" <<<"$out" ||
    fail "event $event: the run ended with $status: $out"
  grep -qF "Stop,$(win stop$event),OK"$'\r' Tavro.csv &&
    grep -q ',Neprovedeno'$'\r''$' Tavro.csv || fail "event $event: the states: $(cat Tavro.csv)"
  [ "$(tail -n 1 program/Tavro.log | tr -d '\r')" = "Záloha přerušena ukončením programu !!!" ] ||
    fail "event $event: the log does not end with the stop: $(tail -n 3 program/Tavro.log)"
done
echo "windows cli: all passed"
