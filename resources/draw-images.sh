#!/usr/bin/env bash
# Draws the program's bitmaps anew with ImageMagick: the three balloon icons, the balloon's close
# glyph and the two button pictures of the verification window. Each is drawn as a 24-bit BMP with a
# 40-byte information header, then kept as a palette BMP of the same pixels where that is smaller
# (palettize-bmp); the program loads both.
#   resources/draw-images.sh [OUTDIR]   (default: the folder of this script)
set -euo pipefail
out=${1:-$(dirname "$0")}
font=WenQuanYi-Zen-Hei

# Writes the image read from stdin (or built by the arguments) as a 24-bit BMP.
bmp24() { convert "$@" -alpha off -type TrueColor -define bmp:format=bmp3 "BMP3:$target"; }

# Balloon icons: 16 x 16 on the tooltip-like background RGB(255,255,225), which the balloon draws
# transparent (it reads the colour from the bottom-left pixel, so that pixel stays background).
bg='rgb(255,255,225)'
target="$out/INFO.bmp" bmp24 -size 16x16 "xc:$bg" \
  -fill 'rgb(236,244,255)' -stroke 'rgb(70,110,180)' -draw 'roundrectangle 1,1 14,11 3,3' \
  -draw 'polygon 4,11 4,14 7,11' -stroke none -fill 'rgb(236,244,255)' -draw 'rectangle 5,10 6,11' \
  -fill 'rgb(0,70,200)' -draw 'rectangle 7,3 8,4' -draw 'rectangle 7,6 8,9' -draw 'point 6,6'
target="$out/ERROR.bmp" bmp24 -size 16x16 "xc:$bg" \
  -fill 'rgb(210,30,30)' -stroke 'rgb(150,0,0)' -draw 'circle 7.5,7.5 7.5,0.5' \
  -stroke white -strokewidth 2 -draw 'line 5,5 10,10' -draw 'line 10,5 5,10'
target="$out/WARNING.bmp" bmp24 -size 16x16 "xc:$bg" \
  -fill 'rgb(255,210,0)' -stroke 'rgb(170,120,0)' -draw 'polygon 7.5,0.5 14.5,13.5 0.5,13.5' \
  -stroke none -fill 'rgb(40,40,40)' -draw 'rectangle 7,4 8,9' -draw 'rectangle 7,11 8,12'

# Close glyph: 18 x 18, a black X on a light grey face inside a one-pixel grey border.
target="$out/BClose.bmp" bmp24 -size 18x18 'xc:rgb(128,128,128)' +antialias \
  -fill 'rgb(212,208,200)' -draw 'rectangle 1,1 16,16' \
  -stroke black -strokewidth 1 -draw 'line 5,5 12,12' -draw 'line 6,5 12,11' \
  -draw 'line 12,5 5,12' -draw 'line 11,5 5,11'

# Install button picture: 79 x 25, the words 开始安装 on a raised button face.
target="$out/install-button.bmp" bmp24 -size 79x25 'gradient:rgb(252,252,250)-rgb(222,226,232)' \
  -fill none -stroke 'rgb(120,135,160)' -draw 'roundrectangle 0,0 78,24 3,3' \
  -stroke white -draw 'line 2,1 76,1' \
  -stroke none -fill 'rgb(20,60,140)' -font "$font" -pointsize 13 -gravity center \
  -annotate +0+0 '开始安装'

# Copy symbol: 21 x 20, two overlapping sheets, the front one with text lines.
target="$out/copy.bmp" bmp24 -size 21x20 'xc:rgb(245,250,254)' +antialias \
  -fill white -stroke 'rgb(90,90,90)' -draw 'rectangle 2,1 12,14' \
  -draw 'rectangle 8,5 18,18' \
  -stroke 'rgb(60,100,170)' -draw 'line 10,8 16,8' -draw 'line 10,11 16,11' -draw 'line 10,14 14,14'

"$(dirname "$0")/palettize-bmp" "$out"/*.bmp
