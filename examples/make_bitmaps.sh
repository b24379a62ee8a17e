#!/usr/bin/env bash
# Draws the two bitmaps the sample report prints with: the logo (top left of
# every page) and the pale watermark tile. 24-bit BMP, as the engine expects.
set -euo pipefail
cd "$(dirname "$0")"

# Logo: a navy disc with a gold ring, a large "H" and the word "PELM".
convert -size 150x150 xc:white \
    -fill '#1f3a68' -stroke '#d4a017' -strokewidth 8 -draw 'circle 75,75 75,8' \
    -stroke none -fill white -font Liberation-Sans-Bold -pointsize 72 \
    -gravity center -annotate +0-12 'H' \
    -fill '#d4a017' -pointsize 20 -annotate +0+38 'PELM' \
    -type TrueColor BMP3:Logo.bmp

# Watermark tile: pale grey-blue diagonal "DEMO" on white, with a faint frame.
convert -size 100x100 xc:white \
    -fill none -stroke '#e4e9f2' -strokewidth 2 -draw 'rectangle 3,3 96,96' \
    -stroke none -fill '#dfe6f1' -font Liberation-Sans-Bold -pointsize 22 \
    -gravity center -annotate 315x315+0+0 'DEMO' \
    -type TrueColor BMP3:watermark.bmp
