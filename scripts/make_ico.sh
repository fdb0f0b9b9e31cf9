#!/usr/bin/env bash
# Makes the Windows icon from the program's SVG: every size the shell asks
# for, from the tray's 16 pixels to Explorer's 256.
#
#   scripts/make_ico.sh tavro.svg tavro.ico
set -euo pipefail
svg=${1:?usage: make_ico.sh SVG ICO}
ico=${2:?usage: make_ico.sh SVG ICO}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pngs=()
for size in 16 20 24 32 40 48 64 256; do
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$work/$size.png"
  pngs+=("$work/$size.png")
done
convert "${pngs[@]}" "$work/tavro.ico"
mv "$work/tavro.ico" "$ico"
