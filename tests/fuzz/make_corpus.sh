#!/usr/bin/env bash
# Regenerates the seed corpus of the bitmap fuzz target from small pictures
# made by netpbm and ImageMagick (the files are committed; run this only to
# refresh them).
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/corpus/fuzz_bitmap"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ppmpat -g2 -color 7 5 > "$work/c.ppm" 2>/dev/null || ppmmake red 7 5 > "$work/c.ppm"
pgmramp -lr 9 3 > "$work/g.pgm"
pbmmake -g 11 4 > "$work/b.pbm"
ppmtobmp -windows -bpp 24 "$work/c.ppm" > "$out/win24.bmp" 2>/dev/null
ppmtobmp -os2 -bpp 24 "$work/c.ppm" > "$out/os2-24.bmp" 2>/dev/null
pnmquant 16 "$work/c.ppm" 2>/dev/null | ppmtobmp -windows -bpp 4 > "$out/win4.bmp" 2>/dev/null
ppmtobmp -windows -bpp 8 "$work/g.pgm" > "$out/win8.bmp" 2>/dev/null
ppmtobmp -os2 -bpp 1 "$work/b.pbm" > "$out/os2-1.bmp" 2>/dev/null
convert "$work/c.ppm" BMP3:"$out/im3.bmp"
convert "$work/c.ppm" BMP:"$out/im5.bmp"
convert "$work/c.ppm" -colors 16 -type Palette -compress RLE BMP3:"$out/rle.bmp"
convert "$work/c.ppm" -colors 200 -type Palette -compress RLE BMP3:"$out/rle8.bmp"
# Hand-made: OS/2 2.0 Huffman, 16-bit 5-6-5 bit fields, and a top-down picture.
python3 - "$out" <<'PY'
import struct, sys
out = sys.argv[1]
def bmp(name, header, table=b"", pixels=b""):
    data = header + table + pixels
    open(f"{out}/{name}", "wb").write(b"BM" + struct.pack("<IHHI", 14 + len(data), 0, 0, 14 + len(header) + len(table)) + data)
h = struct.pack("<IIIHHIIIIII", 64, 16, 2, 1, 1, 3, 0, 0, 0, 2, 0) + bytes(24)
bmp("huff.bmp", h, bytes(8), bytes([0x35, 0x00, 0x1b, 0x5c, 0x80, 0x01, 0xb0, 0x00]))
h = struct.pack("<IiiHHIIiiII", 40, 3, 2, 1, 16, 3, 0, 0, 0, 0, 0) + struct.pack("<III", 0xF800, 0x07E0, 0x001F)
bmp("565.bmp", h, b"", bytes(range(16)))
h = struct.pack("<IiiHHIIiiII", 40, 2, -2, 1, 24, 0, 0, 0, 0, 0, 0)
bmp("topdown.bmp", h, b"", bytes(range(16)))
h = struct.pack("<IIIHHIIIIII", 64, 4, 2, 1, 24, 4, 0, 0, 0, 0, 0) + bytes(24)
bmp("rle24.bmp", h, b"", bytes([2, 1, 2, 3, 0, 3, 9, 9, 9, 8, 8, 8, 7, 7, 7, 0, 0, 0, 2, 1, 0, 0, 1]))
PY
# Bit fields of other layouts (ImageMagick's 4-4-4-4, hand-made 32-bit
# orders and 16-bit splits), and an OS/2 1.x file whose colour table is
# shorter than its bit count allows.
convert "$work/c.ppm" -alpha set -define bmp:subtype=ARGB4444 "$out/argb4444.bmp"
python3 - "$out" <<'PY'
import struct, sys
out = sys.argv[1]
def bmp(name, header, table=b"", pixels=b""):
    data = header + table + pixels
    open(f"{out}/{name}", "wb").write(b"BM" + struct.pack("<IHHI", 14 + len(data), 0, 0, 14 + len(header) + len(table)) + data)
def info(size, w, h, bits, masks):
    head = struct.pack("<IiiHHIIiiII", size, w, h, 1, bits, 3, 0, 0, 0, 0, 0)
    if size == 40:
        return head + struct.pack("<III", *masks[:3])
    return (head + b"".join(struct.pack("<I", m) for m in masks)).ljust(size, b"\0")
bmp("rgba-low.bmp", info(108, 3, 2, 32, (0xFF, 0xFF00, 0xFF0000, 0xFF000000)), b"", bytes(range(24)))
bmp("111110.bmp", info(40, 3, 2, 32, (0xFFE00000, 0x001FFC00, 0x000003FF)), b"", bytes(range(100, 124)))
bmp("231.bmp", info(124, 5, 2, 16, (0x0030, 0x000E, 0x0001, 0)), b"", bytes(range(24)))
bmp("3103.bmp", info(40, 2, 2, 16, (0xE000, 0x1FF8, 0x0007)), b"", bytes(range(200, 208)))
h = struct.pack("<IHHHH", 12, 5, 3, 1, 8)
bmp("os2-short.bmp", h, bytes(range(30)), bytes((i * 7) % 10 for i in range(24)))
PY
# RLE 4 is written by hand too (rle4.bmp), ImageMagick writes only RLE 8.
ls -l "$out"
