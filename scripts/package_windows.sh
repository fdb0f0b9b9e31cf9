#!/usr/bin/env bash
# The two ways Tavro reaches Windows users, from a built tavro.exe:
#
#   scripts/package_windows.sh BUILD_DIR
#
# BUILD_DIR/tavro-VERSION-setup.exe  the installer (NSIS), per user
# BUILD_DIR/tavro-VERSION.zip        the portable program: tavro.exe, an
#                                    empty Tavro.ini that keeps its files
#                                    beside it, and a short read-me
set -euo pipefail

build=$(cd "${1:?usage: package_windows.sh BUILD_DIR}" && pwd)
source=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^project(Tavro VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
exe=$build/tavro.exe
ico=$build/win/tavro.ico
[ -f "$exe" ] && [ -f "$ico" ] || { echo "package_windows: build tavro.exe first" >&2; exit 1; }

size_kb=$((($(stat -c %s "$exe") + 1023) / 1024))
makensis -V2 -DVERSION="$version" -DEXE="$exe" -DICON="$ico" -DSIZE_KB="$size_kb" \
  -DOUTFILE="$build/tavro-$version-setup.exe" "$source/win/installer/tavro.nsi"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/Tavro"
cp "$exe" "$work/Tavro/tavro.exe"
: > "$work/Tavro/Tavro.ini"
cp "$source/win/installer/CTIMNE.txt" "$work/Tavro/CTIMNE.txt"
rm -f "$build/tavro-$version.zip"
(cd "$work" && cmake -E tar cf "$build/tavro-$version.zip" --format=zip Tavro)
echo "$build/tavro-$version-setup.exe"
echo "$build/tavro-$version.zip"
