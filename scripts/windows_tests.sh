#!/usr/bin/env bash
# Cross-builds the core, its tests and tavro.exe for Windows and runs every
# test executable and the command line's test under wine, in a wine prefix
# of the build's own.
#
#   scripts/windows_tests.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: windows_tests.sh BUILD_DIR}
source=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$build"
build=$(cd "$build" && pwd)

cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Debug -DTAVRO_WERROR=ON -DTAVRO_TESTS=ON > /dev/null
cmake --build "$build" -j "$(nproc)"

export WINEPREFIX=$build/wine-prefix WINEDEBUG=-all
if [ ! -d "$WINEPREFIX/drive_c" ]; then timeout 300 wineboot -i > /dev/null 2>&1 || true; fi
# One wineserver for every test: each start costs seconds. (It answers 2
# when one is running already.)
wineserver -p 2> /dev/null || true
# The window tests need a display: an X server of their own.
exec {displays}< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2> /dev/null)
xvfb=$!
read -r -u "$displays" number
export DISPLAY=:$number
trap 'wineserver -k 2> /dev/null || true; kill $xvfb 2> /dev/null || true' EXIT

# As on a Czech Windows: code page 1250, Czech formats. Wine takes the
# locale from the environment, with or without the system's locales.
failed=0
while IFS= read -r test; do
  echo "== $(basename "$test")"
  if ! timeout 600 env LC_ALL=cs_CZ.UTF-8 wine "$test"; then failed=1; fi
done < <(find "$build" -name '*_test.exe' -not -path '*/googletest/*' | sort)
echo "== tavro.exe"
if ! timeout 600 bash "$source/scripts/windows_cli_test.sh" "$build/tavro.exe" \
  "$build/console_event.exe"; then failed=1; fi
exit $failed
