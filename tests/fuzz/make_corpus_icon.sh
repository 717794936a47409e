#!/usr/bin/env bash
# Regenerates the seed corpora of the icon and animated-cursor fuzz targets:
# icons and cursors from ImageMagick and Pillow, hand-made entries of the
# forms they do not write, and animated files built from small icons (the
# files are committed; run this only to refresh them).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
ico="$here/corpus/fuzz_icon"
ani="$here/corpus/fuzz_ani"
mkdir -p "$ico" "$ani"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 32x32 plasma:fractal -seed 9 \( -size 32x32 xc:none -fill white \
    -draw 'circle 16,16 16,3' \) -compose copyopacity -composite "$work/src.png"
convert "$work/src.png" -resize 16x16 -colors 16 -type PaletteAlpha "$ico/magick4.ico"
convert "$work/src.png" -resize 16x16 -colors 100 -type PaletteAlpha "$ico/magick8.ico"
convert "$work/src.png" -resize 8x8 "$ico/magick32.ico"
convert "$work/src.png" -resize 8x8 CUR:"$ico/magick.cur"
convert "$work/src.png" -depth 8 -define icon:auto-resize=256,16 "$ico/magick-sizes.ico"
/usr/bin/python3 - "$work/src.png" "$ico/pillow.ico" <<'PY'
import sys
from PIL import Image
Image.open(sys.argv[1]).resize((8, 8)).save(sys.argv[2], sizes=[(8, 8), (4, 4)])
PY
/usr/bin/python3 - "$ico" "$ani" <<'PY'
import os, struct, sys
ico, ani = sys.argv[1], sys.argv[2]

def entry(w, h, bits, header=40, colors=None, fill=0x5A):
    ncol = (1 << bits if bits <= 8 else 0) if colors is None else colors
    stride = (w * bits + 31) // 32 * 4
    mask = (w + 31) // 32 * 4
    head = struct.pack('<IiiHHIIiiII', header, w, 2 * h, 1, bits, 0, 0, 0, 0,
                       colors or 0, 0) + bytes(header - 40)
    table = b''.join(struct.pack('<I', (i * 0x10305) & 0xFFFFFF) for i in range(ncol))
    return head + table + bytes([fill]) * (stride * h) + bytes([0x0F]) * (mask * h)

def icon(entries, kind=1):
    out = struct.pack('<HHH', 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    for w, h, bits, data in entries:
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b''.join(d for _, _, _, d in entries)

def write(folder, name, data):
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)

write(ico, 'mono.ico', icon([(16, 16, 1, entry(16, 16, 1))]))
write(ico, 'rgb.cur', icon([(7, 5, 24, entry(7, 5, 24))], 2))
write(ico, 'header108.ico', icon([(8, 8, 4, entry(8, 8, 4, header=108))]))
write(ico, 'short-table.ico', icon([(8, 4, 8, entry(8, 4, 8, colors=3, fill=2))]))
write(ico, 'big.ico', icon([(256, 256, 1, entry(256, 256, 1))]))
write(ico, 'three.ico', icon([(4, 4, 4, entry(4, 4, 4)), (8, 8, 8, entry(8, 8, 8)),
                              (2, 2, 32, entry(2, 2, 32))]))

def chunk(name, data):
    return name + struct.pack('<I', len(data)) + data + (b'\0' if len(data) % 2 else b'')

def riff(chunks):
    body = b'ACON' + b''.join(chunks)
    return b'RIFF' + struct.pack('<I', len(body)) + body

def anih(icons, steps):
    return chunk(b'anih', struct.pack('<9I', 36, icons, steps, 0, 0, 0, 0, 10, 1))

def fram(icons):
    return chunk(b'LIST', b'fram' + b''.join(chunk(b'icon', i) for i in icons))

small = [icon([(4, 4, 4, entry(4, 4, 4, fill=f))]) for f in (0x12, 0x34, 0x56)]
info = chunk(b'LIST', b'INFO' + chunk(b'INAM', b'Name\0') + chunk(b'IART', b'Me\0'))
write(ani, 'plain.ani', riff([anih(3, 3), fram(small)]))
write(ani, 'rate-seq.ani', riff([info, anih(3, 4), chunk(b'rate', struct.pack('<4I', 6, 7, 8, 9)),
                                 chunk(b'seq ', struct.pack('<4I', 2, 0, 2, 1)), fram(small)]))
write(ani, 'fewer.ani', riff([anih(3, 3), fram(small[:2])]))
write(ani, 'rate-first.ani', riff([chunk(b'rate', struct.pack('<2I', 1, 2)), anih(2, 2),
                                   fram(small[:2])]))
write(ani, 'odd.ani', riff([anih(2, 2), fram([small[0] + b'\x77', small[1]])]))
write(ani, 'cursor.ani', riff([anih(1, 1), fram([icon([(3, 3, 24, entry(3, 3, 24))], 2)])]))
PY
