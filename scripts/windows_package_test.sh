#!/usr/bin/env bash
# The installer and the portable zip, tried under wine in a prefix of their
# own (a machine Tavro was never on):
#
#   scripts/windows_package_test.sh SETUP_EXE ZIP WORK_DIR
#
# The silent installer puts tavro.exe, its uninstaller, a Start-menu
# shortcut and an "Apps and features" entry in place without administrator
# rights; the installed tavro.exe runs; the silent uninstaller takes all of
# that away and leaves the user's files. The zip holds what it should, and
# its tavro.exe keeps its settings and log beside it.
set -euo pipefail

setup=$(realpath "${1:?usage: windows_package_test.sh SETUP_EXE ZIP WORK_DIR}")
zip=$(realpath "${2:?usage: windows_package_test.sh SETUP_EXE ZIP WORK_DIR}")
work=$(realpath -m "${3:?usage: windows_package_test.sh SETUP_EXE ZIP WORK_DIR}")
rm -rf "$work"
mkdir -p "$work"

fail() {
  echo "windows package: $*" >&2
  exit 1
}
source "$(dirname "$0")/e2e_common.sh"  # wait_for

export WINEPREFIX=$work/prefix WINEDEBUG=-all
timeout 300 wineboot -i > /dev/null 2>&1 || true
trap 'wineserver -k 2> /dev/null || true' EXIT
user=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)
[ -n "$user" ] || fail "the fresh prefix has no user folder"
installed=$user/AppData/Local/Programs/Tavro
menu=$user/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavro'

timeout 120 wine "$setup" /S || fail "the silent installer ended with $?"
[ -f "$installed/tavro.exe" ] || fail "no tavro.exe in $installed"
[ -f "$installed/uninstall.exe" ] || fail "no uninstaller in $installed"
[ -f "$menu/Tavro.lnk" ] || fail "no Start-menu shortcut"
entry=$(wine reg query "$key" 2> /dev/null | tr -d '\r')
grep -q 'DisplayName.*Tavro' <<< "$entry" || fail "no uninstall entry: $entry"
version=$(timeout 60 wine "$installed/tavro.exe" --version | tr -d '\r' | head -n 1)
grep -q "DisplayVersion.*${version#Tavro }\$" <<< "$entry" ||
  fail "the uninstall entry's version is not $version: $entry"
grep -q 'DisplayIcon.*tavro.exe' <<< "$entry" || fail "the uninstall entry has no icon"

# The user's files: a pair table in the program's folder (where the menu's
# shortcut starts it) and the settings and log in the roaming folder.
printf 'SRC,TRG,STAV\r\n' > "$installed/Tavro.csv"
mkdir -p "$user/AppData/Roaming/Tavro"
printf '[Main]\r\n' > "$user/AppData/Roaming/Tavro/Tavro.ini"
echo log > "$user/AppData/Roaming/Tavro/Tavro.log"
timeout 120 wine "$installed/uninstall.exe" /S || fail "the silent uninstaller ended with $?"
# The uninstaller works on from a copy of itself (in "~nsuN.tmp" of the
# temporary folder), deleting its own file before the shortcut and the
# entry: wait for the copy to end and the entry to go.
uninstalled() {
  ! pgrep -f '~nsu[^ ]*\.tmp' > /dev/null && ! wine reg query "$key" > /dev/null 2>&1
}
wait_for 60 uninstalled || fail "the uninstaller left its entry, or did not end"
[ ! -e "$installed/uninstall.exe" ] || fail "the uninstaller left itself behind"
[ ! -e "$installed/tavro.exe" ] || fail "the uninstaller left tavro.exe"
[ ! -e "$menu/Tavro.lnk" ] || fail "the uninstaller left the Start-menu shortcut"
[ -f "$installed/Tavro.csv" ] || fail "the uninstaller took the user's Tavro.csv"
[ -f "$user/AppData/Roaming/Tavro/Tavro.ini" ] && [ -f "$user/AppData/Roaming/Tavro/Tavro.log" ] ||
  fail "the uninstaller took the user's settings or log"

# The portable zip.
mkdir "$work/portable"
(cd "$work/portable" && cmake -E tar xf "$zip")
[ "$(cd "$work/portable" && find . -type f | sort | tr '\n' ' ')" = \
  "./Tavro/CTIMNE.txt ./Tavro/Tavro.ini ./Tavro/tavro.exe " ] ||
  fail "the zip holds: $(cd "$work/portable" && find . -type f)"
[ ! -s "$work/portable/Tavro/Tavro.ini" ] || fail "the zip's Tavro.ini is not empty"
mkdir -p "$work/data" "$work/zaloha"
echo a > "$work/data/a.txt"
printf 'SRC,TRG,STAV\r\nZ:%s,Z:%s,\r\n' "${work//\//\\}\\data" "${work//\//\\}\\zaloha" \
  > "$work/portable/Tavro/Tavro.csv"
(cd "$work/portable/Tavro" && timeout 120 wine tavro.exe --run > /dev/null) ||
  fail "the zip's tavro.exe --run ended with $?"
[ -f "$work/zaloha/data/a.txt" ] || fail "the zip's tavro.exe backed nothing up"
[ -f "$work/portable/Tavro/Tavro.log" ] || fail "the portable program's log is not beside it"
echo "windows package: passed"
