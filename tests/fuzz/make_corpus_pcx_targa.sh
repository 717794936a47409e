#!/usr/bin/env bash
# Regenerates the seed corpora of the PCX and Targa fuzz targets from small
# pictures made by netpbm and ImageMagick, plus hand-made files for the forms
# those programs do not write (the files are committed; run this only to
# refresh them).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
pcx="$here/corpus/fuzz_pcx"
tga="$here/corpus/fuzz_targa"
mkdir -p "$pcx" "$tga"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ppmpat -camo 9 6 > "$work/c.ppm"
pnmquant 16 "$work/c.ppm" > "$work/c16.ppm" 2> /dev/null
pnmquant 4 "$work/c.ppm" > "$work/c4.ppm" 2> /dev/null
pgmramp -lr 9 3 > "$work/g.pgm"
pbmmake -g 11 4 > "$work/b.pbm"

ppmtopcx -24bit "$work/c.ppm" > "$pcx/24bit.pcx" 2> /dev/null
ppmtopcx -8bit "$work/c.ppm" > "$pcx/8bit.pcx" 2> /dev/null
ppmtopcx -planes 4 "$work/c16.ppm" > "$pcx/4planes.pcx" 2> /dev/null
ppmtopcx -planes 2 "$work/c4.ppm" > "$pcx/2planes.pcx" 2> /dev/null
ppmtopcx -packed "$work/c4.ppm" > "$pcx/2bit-packed.pcx" 2> /dev/null
ppmtopcx -packed "$work/c16.ppm" > "$pcx/4bit-packed.pcx" 2> /dev/null
ppmtopcx "$work/b.pbm" > "$pcx/1bit.pcx" 2> /dev/null
convert "$work/c.ppm" PCX:"$pcx/magick24.pcx"
convert "$work/g.pgm" -type Palette PCX:"$pcx/magick8.pcx"

pamtotga -rgb "$work/c.ppm" > "$tga/rgb-rle.tga" 2> /dev/null
pamtotga -rgb -norle "$work/c.ppm" > "$tga/rgb.tga" 2> /dev/null
pamtotga -cmap "$work/c16.ppm" > "$tga/cmap-rle.tga" 2> /dev/null
pamtotga -cmap16 -norle "$work/c16.ppm" > "$tga/cmap16.tga" 2> /dev/null
pamtotga -mono "$work/g.pgm" > "$tga/mono-rle.tga" 2> /dev/null
pamtotga -cmap "$work/g.pgm" > "$tga/grey-cmap.tga" 2> /dev/null
convert "$work/c.ppm" TGA:"$tga/magick24.tga"
convert "$work/c16.ppm" -type Palette -compress RLE TGA:"$tga/magick-cmap-rle.tga"

# Hand-made: 16-bit and 32-bit PCX; Targa files top-down right-to-left,
# interleaved, 15- and 32-bit, and with a colour map from index 3.
python3 - "$pcx" "$tga" << 'PY'
import struct, sys
pcx, tga = sys.argv[1], sys.argv[2]
def pcx_file(name, bits, planes, w, h, data, tail=b""):
    head = struct.pack("<BBBBHHHHHH", 10, 5, 1, bits, 0, 0, w - 1, h - 1, 72, 72)
    head += bytes(48) + bytes([0, planes]) + struct.pack("<HH", (w * bits + 7) // 8, 1)
    head += bytes(128 - len(head))
    open(f"{pcx}/{name}", "wb").write(head + bytes(data) + tail)
pcx_file("16bit.pcx", 16, 1, 3, 2, [0xC3, 0x1F, 0x7C, 0x10, 0x02, 0xC1, 0xE0, 0x03, 0x05, 0x00, 0xC1, 0xFF, 0x7F])
pcx_file("32bit.pcx", 8, 4, 2, 2, [0xC8, 0x40, 1, 2, 3, 4, 5, 6, 7, 8])
def tga_file(name, kind, bits, w, h, desc, data, cmap=b"", first=0, length=0, entry=0, ident=b""):
    head = struct.pack("<BBBHHBHHHHBB", len(ident), 1 if cmap else 0, kind, first, length, entry,
                       0, 0, w, h, bits, desc)
    open(f"{tga}/{name}", "wb").write(head + ident + cmap + bytes(data))
tga_file("topright.tga", 10, 24, 3, 2, 0x30, [0x82, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12])
tga_file("interleave2.tga", 3, 8, 2, 5, 0x40, range(10))
tga_file("interleave4.tga", 11, 8, 2, 5, 0xA0, [0x89, 7])
tga_file("15bit.tga", 2, 15, 2, 2, 0, [0x1F, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0xFF, 0x7F])
tga_file("32bit.tga", 10, 32, 2, 2, 0x28, [0x83, 1, 2, 3, 4])
tga_file("first3.tga", 9, 8, 4, 2, 0, [0x83, 3, 0x03, 4, 5, 6, 3],
         cmap=bytes(range(12)), first=3, length=4, entry=24, ident=b"zendra")
PY
# Grey with alpha (16 bits), by Pillow, uncompressed and run-length coded.
/usr/bin/python3 - "$tga" << 'PY'
import sys
from PIL import Image
im = Image.new("LA", (7, 5))
im.putdata([((x * 37 + y * 11) % 256, (0, 255, 128, 64)[(x + y) % 4]) for y in range(5) for x in range(7)])
im.save(sys.argv[1] + "/grey-alpha.tga")
im.save(sys.argv[1] + "/grey-alpha-rle.tga", compression="tga_rle")
PY
ls -l "$pcx" "$tga"
