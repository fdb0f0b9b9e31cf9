#!/usr/bin/env bash
# Builds the Debian package: an optimised build in build/package, then CPack.
# Prints the package's path last.
#
#   bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/package
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRO_TESTS=OFF >/dev/null
# The compiler's words are kept: the package test reads them for warnings.
cmake --build "$build" -j "$(nproc)" >"$build/build.log" 2>&1 || {
  tail -n 30 "$build/build.log" >&2
  exit 1
}
rm -f "$build"/tavro_*.deb
(cd "$build" && cpack >/dev/null)
ls "$(pwd)/$build"/tavro_*.deb
