#!/bin/sh
# Renders the PNG icons from trevolan.svg (package librsvg2-bin). The PNGs are kept in
# the repository, so the build needs no SVG renderer; run this after changing the SVG.
set -eu
cd "$(dirname "$0")"
for size in 48 256; do
  mkdir -p "${size}x${size}"
  rsvg-convert --width "$size" --height "$size" --output "${size}x${size}/trevolan.png" trevolan.svg
done
