#!/usr/bin/env bash
# Regenerates the seed corpora of the JPEG and PNG fuzz targets from small
# pictures made by cjpeg, jpegtran, netpbm and ImageMagick (the files are
# committed; run this only to refresh them).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
jpg="$here/corpus/fuzz_jpeg"
png="$here/corpus/fuzz_png"
mkdir -p "$jpg" "$png"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ppmpat -camo 13 9 > "$work/c.ppm"
pgmramp -lr 13 9 > "$work/g.pgm"
pnmquant 16 "$work/c.ppm" > "$work/c16.ppm" 2> /dev/null

cjpeg -quality 75 "$work/c.ppm" > "$jpg/colour.jpg"
cjpeg -quality 75 "$work/g.pgm" > "$jpg/gray.jpg"
cjpeg -progressive "$work/c.ppm" > "$jpg/progressive.jpg"
cjpeg -grayscale -progressive "$work/c.ppm" > "$jpg/gray-progressive.jpg"
cjpeg -arithmetic "$work/c.ppm" > "$jpg/arithmetic.jpg"
cjpeg -restart 1 -sample 1x1 "$work/c.ppm" > "$jpg/restart-444.jpg"
cjpeg -rgb "$work/c.ppm" > "$jpg/rgb.jpg"
cjpeg -sample 2x1 -optimize "$work/c.ppm" > "$jpg/422-optimized.jpg"
jpegtran -progressive -arithmetic "$jpg/colour.jpg" > "$jpg/arithmetic-progressive.jpg"
convert "$work/c.ppm" -colorspace CMYK "$jpg/cmyk.jpg"

pnmtopng -interlace "$work/c16.ppm" > "$png/netpbm-adam7.png" 2> /dev/null
convert "$work/c.ppm" -type Palette PNG8:"$png/magick-palette8.png"
convert "$work/c.ppm" PNG24:"$png/magick-rgb8.png"

# Hand-made: every colour type and depth, with and without Adam7, gAMA, sRGB,
# bKGD and tRNS chunks (rows unfiltered).
python3 - "$png" << 'PY'
import struct, sys, zlib
out = sys.argv[1]

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

def passes(width, height, interlace):
    if not interlace:
        return [(0, 0, 1, 1)]
    return [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]

def png(name, width, height, depth, kind, extra=b"", late=b"", palette=0, interlace=0):
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[kind]
    raw = b""
    for x0, y0, dx, dy in passes(width, height, interlace):
        cols = range(x0, width, dx)
        for y in range(y0, height, dy):
            if not cols:
                break
            bits = ""
            for x in cols:
                for c in range(channels):
                    v = (x * 37 + y * 11 + c * 71) % (1 << depth)
                    if kind == 3:
                        v %= palette
                    bits += format(v, "0%db" % depth)
            bits += "0" * (-len(bits) % 8)
            raw += b"\x00" + bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, kind, 0, 0, interlace))
    data += extra
    if kind == 3:
        data += chunk(b"PLTE", bytes((i * 53 + c * 91) % 256 for i in range(palette) for c in range(3)))
    data += late
    data += chunk(b"IDAT", zlib.compress(raw))
    data += chunk(b"IEND", b"")
    open(out + "/" + name, "wb").write(data)

gama1 = chunk(b"gAMA", struct.pack(">I", 100000))
gama45 = chunk(b"gAMA", struct.pack(">I", 45455))
srgb = chunk(b"sRGB", b"\x00")
for depth in (1, 2, 4, 8, 16):
    png("gray%d.png" % depth, 13, 9, depth, 0, gama1)
for depth in (1, 2, 4, 8):
    entries = min(1 << depth, 5) if depth > 1 else 1
    png("palette%d.png" % depth, 11, 7, depth, 3, gama45, chunk(b"tRNS", b"\x80" * entries),
        palette=entries)
png("rgb8-srgb.png", 9, 6, 8, 2, srgb)
png("rgb16-adam7.png", 9, 6, 16, 2, gama1, interlace=1)
png("gray-alpha8-bkgd.png", 10, 5, 8, 4, b"", chunk(b"bKGD", b"\x00\x00"))
png("gray-alpha16-adam7.png", 10, 5, 16, 4, srgb, interlace=1)
png("rgba8.png", 12, 4, 8, 6)
png("rgba16-bkgd.png", 12, 4, 16, 6, gama1, chunk(b"bKGD", b"\x00\x00" * 3))
png("gray2-adam7.png", 17, 11, 2, 0, b"", chunk(b"tRNS", b"\x00\x01"), interlace=1)
PY

# Palette files with transparency written by Pillow, with and without gAMA.
/usr/bin/python3 - "$png" << 'PY'
import struct, sys
from PIL import Image, PngImagePlugin
for name, gamma in (("pillow-trns.png", None), ("pillow-trns-gama1.png", 100000)):
    im = Image.new("P", (8, 4))
    im.putpalette([(i * 53 + c * 91) % 256 for i in range(16) for c in range(3)])
    im.putdata([(x + 3 * y) % 16 for y in range(4) for x in range(8)])
    info = PngImagePlugin.PngInfo()
    if gamma:
        info.add(b"gAMA", struct.pack(">I", gamma))
    im.save(sys.argv[1] + "/" + name, transparency=bytes((i * 37) % 256 for i in range(12)), pnginfo=info)
PY
