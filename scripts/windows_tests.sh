#!/usr/bin/env bash
# Cross-builds the core, its tests and tavro.exe for Windows and runs every
# test executable, the command line's test and the window program's test
# under wine, in a wine prefix of the build's own, on an X server with a
# window manager and a tray host of their own.
#
#   scripts/windows_tests.sh BUILD_DIR [ARTIFACT_DIR]
set -euo pipefail

build=${1:?usage: windows_tests.sh BUILD_DIR}
source=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$build"
build=$(cd "$build" && pwd)
artifacts=${2:-$build/e2e-artifacts}

cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Debug -DTAVRO_WERROR=ON -DTAVRO_TESTS=ON > /dev/null
cmake --build "$build" -j "$(nproc)"

# The display first: wine's explorer, started with the prefix, keeps the
# display it started on for the tray icons of every later program.
exec {displays}< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2> /dev/null)
xvfb=$!
read -r -u "$displays" number
export DISPLAY=:$number
pids=($xvfb)
trap 'wineserver -k 2> /dev/null || true; kill "${pids[@]}" 2> /dev/null || true' EXIT
# A window manager (its core font: Xvfb's own "fixed") and a tray host at
# the bottom right.
evilwm -fn fixed > /dev/null 2>&1 &
pids+=($!)
trayer --edge bottom --align right --widthtype pixel --width 160 --heighttype pixel \
  --height 28 --tint 0x404040 --transparent false > /dev/null 2>&1 &
pids+=($!)

export WINEPREFIX=$build/wine-prefix WINEDEBUG=-all
if [ ! -d "$WINEPREFIX/drive_c" ]; then timeout 300 wineboot -i > /dev/null 2>&1 || true; fi
# One wineserver for every test: each start costs seconds. (It answers 2
# when one is running already.)
wineserver -p 2> /dev/null || true

# As on a Czech Windows: code page 1250, Czech formats. Wine takes the
# locale from the environment, with or without the system's locales.
failed=0
# Into a file, not a pipe: wine's own services, started with the first
# program, hold a pipe open for good.
run_test() {
  local status=0
  timeout 600 env LC_ALL=cs_CZ.UTF-8 wine "$1" > "$build/last-test.log" 2>&1 || status=$?
  cat "$build/last-test.log"
  return "$status"
}
while IFS= read -r test; do
  echo "== $(basename "$test")"
  run_test "$test" && continue
  # Once in many runs wine's server goes away under a test, which then
  # fails before it ran: such a test runs again with a new server.
  if grep -q '^wine client error' "$build/last-test.log"; then
    echo "== $(basename "$test") again: the wine server went away"
    wineserver -p 2> /dev/null || true
    run_test "$test" && continue
  fi
  failed=1
done < <(find "$build" -name '*_test.exe' -not -path '*/googletest/*' -not -path '*/package-test/*' | sort)
echo "== tavro.exe"
if ! timeout 600 bash "$source/scripts/windows_cli_test.sh" "$build/tavro.exe" \
  "$build/console_event.exe"; then failed=1; fi
echo "== the installer and the portable zip"
# The script names the installer and the zip in its last two lines.
if ! packages=$(bash "$source/scripts/package_windows.sh" "$build" | tail -n 2) ||
  ! timeout 600 bash "$source/scripts/windows_package_test.sh" $packages \
    "$build/package-test"; then failed=1; fi
echo "== tavro.exe, the window"
if ! timeout 600 env LC_ALL=cs_CZ.UTF-8 bash "$source/scripts/windows_e2e.sh" \
  "$build/tavro.exe" "$artifacts"; then failed=1; fi
exit $failed
