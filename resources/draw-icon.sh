#!/usr/bin/env bash
# Draws the program icon (setup.ico: 16, 24, 32, 48 and 256 pixels) with ImageMagick: a teal
# rounded tile with a white box and a downward arrow into it. Run at development time; the .ico is
# committed.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 256x256 xc:none \
  -fill '#1f7a8c' -draw 'roundrectangle 8,8 247,247 44,44' \
  -fill '#2a9db3' -draw 'roundrectangle 8,8 247,140 44,44' \
  -fill '#1f7a8c' -draw 'rectangle 8,100 247,140' \
  -fill white -draw 'rectangle 60,130 196,214' \
  -fill '#1f7a8c' -draw 'rectangle 76,146 180,160' \
  -fill white -draw 'rectangle 108,36 148,100' \
  -fill white -draw 'polygon 78,96 178,96 128,146' \
  "$tmp/icon-256.png"
for size in 16 24 32 48; do
  convert "$tmp/icon-256.png" -filter Lanczos -resize "${size}x${size}" "$tmp/icon-$size.png"
done
# The 256-pixel frame is kept as PNG, at 8 bits per channel: the form Windows reads (a 16-bit PNG
# is also four times larger in every setup.exe).
convert "$tmp/icon-256.png" -depth 8 "PNG32:$tmp/icon-256-8bit.png"
convert "$tmp/icon-16.png" "$tmp/icon-24.png" "$tmp/icon-32.png" "$tmp/icon-48.png" \
  "$tmp/icon-256-8bit.png" setup.ico
