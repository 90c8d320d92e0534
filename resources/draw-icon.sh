#!/usr/bin/env bash
# Draws the program icon (setup.ico: 16, 24, 32, 48 and 256 pixels, all PNG) with ImageMagick: a
# teal rounded tile with a white box and a downward arrow into it. Run at development time; the .ico
# is committed.
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
  "$tmp/icon-256-8bit.png" "$tmp/setup.ico"
# ImageMagick stores the small frames as uncompressed bitmaps (17 KiB); Windows since Vista reads
# PNG frames of every size, so they are re-encoded as PNG with the very same pixels.
python3 - "$tmp/setup.ico" setup.ico <<'PY'
import struct, sys, zlib

data = open(sys.argv[1], "rb").read()
count = struct.unpack_from("<HHH", data, 0)[2]
entries, images = [], []
for i in range(count):
    entry = list(struct.unpack_from("<BBBBHHII", data, 6 + 16 * i))
    image = data[entry[7]:entry[7] + entry[6]]
    if not image.startswith(b"\x89PNG"):
        header, width, height, _, bits = struct.unpack_from("<IiiHH", image, 0)
        assert header == 40 and bits == 32, "a 32-bit frame was expected"
        height //= 2  # the height counts the AND mask too; the alpha channel makes it redundant
        rows = b""
        for y in reversed(range(height)):  # bottom-up BGRA to top-down RGBA
            row = image[header + y * width * 4:header + (y + 1) * width * 4]
            rows += b"\0" + bytes(row[x + k] for x in range(0, len(row), 4) for k in (2, 1, 0, 3))

        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body
                    + struct.pack(">I", zlib.crc32(kind + body)))
        image = (b"\x89PNG\r\n\x1a\n"
                 + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
                 + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
    entries.append(entry)
    images.append(image)
out, offset = struct.pack("<HHH", 0, 1, count), 6 + 16 * count
for entry, image in zip(entries, images):
    entry[6], entry[7] = len(image), offset
    out += struct.pack("<BBBBHHII", *entry)
    offset += len(image)
open(sys.argv[2], "wb").write(out + b"".join(images))
PY
