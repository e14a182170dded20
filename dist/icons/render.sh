#!/usr/bin/env bash
# Remakes the PNG icons from data/rondexa.svg. The PNGs are kept in the
# repository so that building and packaging need no SVG renderer; run this only
# after the SVG changes. rsvg-convert (Debian package librsvg2-bin) renders the
# SVG as desktops do; ImageMagick's built-in SVG reader draws a dark outline
# around every shape that the picture does not have.
set -euo pipefail
cd "$(dirname "$0")"
svg=../../data/rondexa.svg
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}"
    rsvg-convert --width "$size" --height "$size" --output "${size}x${size}/rondexa.png" "$svg"
    echo "${size}x${size}/rondexa.png"
done
