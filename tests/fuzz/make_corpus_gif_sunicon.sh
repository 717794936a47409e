#!/usr/bin/env bash
# Regenerates the seed corpora of the GIF and Sun icon fuzz targets from small
# pictures made by netpbm and ImageMagick, plus hand-made files for the forms
# those programs do not write (the files are committed; run this only to
# refresh them).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
gif="$here/corpus/fuzz_gif"
ico="$here/corpus/fuzz_sunicon"
mkdir -p "$gif" "$ico"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ppmpat -madras 23 17 > "$work/m.ppm"
pnmquant 16 "$work/m.ppm" > "$work/m16.ppm" 2> /dev/null
pnmquant 4 "$work/m.ppm" > "$work/m4.ppm" 2> /dev/null
pgmnoise 90 50 > "$work/g.pgm"
pbmmake -g 13 5 > "$work/b.pbm"

pamtogif "$work/m16.ppm" > "$gif/netpbm16.gif" 2> /dev/null
pamtogif -interlace "$work/m4.ppm" > "$gif/netpbm4-interlaced.gif" 2> /dev/null
pamtogif -sort "$work/m16.ppm" > "$gif/netpbm16-sorted.gif" 2> /dev/null
pamtogif -nolzw "$work/m4.ppm" > "$gif/netpbm4-nolzw.gif" 2> /dev/null
pamtogif -noclear "$work/g.pgm" > "$gif/netpbm256-noclear.gif" 2> /dev/null
pamtogif "$work/b.pbm" > "$gif/netpbm2.gif" 2> /dev/null
convert "$work/m16.ppm" GIF87:"$gif/magick87a.gif"
convert "$work/m4.ppm" -interlace GIF GIF:"$gif/magick-interlaced.gif"
convert "$work/m16.ppm" -transparent black GIF:"$gif/magick-transparent.gif"
convert -delay 10 "$work/m4.ppm" -delay 20 "$work/m16.ppm" -loop 0 GIF:"$gif/magick-animation.gif"

# Hand-made: a local colour table, a MacBinary header, 87a without the global
# flag, no leading clear code, one-byte sub-blocks, minimum code size 9.
python3 - "$gif" << 'PY'
import struct, sys
out = sys.argv[1]
def lzw(indices, size, leading_clear=True):
    clear, end = 1 << size, (1 << size) + 1
    table, nxt, dec_next, first, codes = {}, clear + 2, clear + 2, True, []
    def emit(c):
        nonlocal dec_next, first
        codes.append((c, min(12, dec_next.bit_length())))
        if c == clear:
            dec_next, first = clear + 2, True
        elif c != end:
            if not first and dec_next < 4096:
                dec_next += 1
            first = False
    if leading_clear:
        emit(clear)
    w = None
    for k in indices:
        if w is not None and (w, k) in table:
            w = table[(w, k)]
            continue
        if w is not None:
            emit(w)
            if nxt < 4096:
                table[(w, k)] = nxt
                nxt += 1
        w = k
    emit(w)
    emit(end)
    bits = count = 0
    data = bytearray()
    for c, n in codes:
        bits |= c << count
        count += n
        while count >= 8:
            data.append(bits & 255)
            bits >>= 8
            count -= 8
    if count:
        data.append(bits & 255)
    return bytes(data)
def blocks(data, n=255):
    return b"".join(bytes([len(data[i:i + n])]) + data[i:i + n] for i in range(0, len(data), n)) + b"\0"
def table(n):
    return bytes((i * 37 + c * 91) & 255 for i in range(n) for c in range(3))
def gif(name, w, h, indices, size=2, sig=b"GIF89a", screen_flags=0x81, glob=table(4),
        frame_flags=0, local=b"", pre=b"", leading_clear=True, block=255, head=b""):
    data = sig + struct.pack("<HHBBB", w, h, screen_flags, 0, 0) + glob + pre
    data += b"," + struct.pack("<HHHHB", 0, 0, w, h, frame_flags) + local + bytes([size])
    data += blocks(lzw(indices, size, leading_clear), block) + b";"
    open(f"{out}/{name}", "wb").write(head + data)
pix = [(x * y + x) % 4 for y in range(6) for x in range(9)]
gce = bytes([0x21, 0xF9, 4, 0x05, 10, 0, 3, 0])
gif("local16.gif", 9, 6, [p * 3 for p in pix], size=4, frame_flags=0x83, local=table(16), pre=gce)
gif("macbinary.gif", 9, 6, pix, head=bytes([0, 9]) + bytes(126))
gif("87a-noflag.gif", 9, 6, pix, sig=b"GIF87a", screen_flags=0x01)
gif("noclear-start.gif", 9, 6, pix, leading_clear=False)
gif("blocks1.gif", 9, 6, pix, block=1, pre=bytes([0x21, 0xFE, 2, 104, 105, 0]))
gif("size9.gif", 9, 6, [p * 100 for p in pix], size=9, glob=b"", screen_flags=0)
gif("87a-local-only.gif", 9, 6, pix, sig=b"GIF87a", screen_flags=0x70, glob=b"", frame_flags=0x81,
    local=table(4))
PY

pbmmake -g 16 16 | pbmtosunicon > "$ico/netpbm16.ico"
pbmmake -g 64 64 | pbmtosunicon > "$ico/netpbm64.ico"
pbmmake -b 13 5 | pbmtosunicon > "$ico/netpbm-padded.ico"
pbmmake -g 128 3 | pbmtosunicon > "$ico/netpbm-longheader.ico"
printf '/* Format_version=1, Width=5, Height=2, Depth=8, Valid_bits_per_item=16\n */\n\t0x0102,0x0304,0x0500,0x0f0e,0x0d0c,0x0b00\n' > "$ico/depth8.ico"
printf '/* Width=20, Height=2, Depth=1 */\n0xffff,0xf000,\n8001,8000\n' > "$ico/short-header.ico"
printf '/* Format_version=1, Width=32, Height=4, Depth=1, Valid_bits_per_item=16\n */\n\t0x1234,0x5678,0x9abc,' > "$ico/ends-early.ico"
ls -l "$gif" "$ico"
