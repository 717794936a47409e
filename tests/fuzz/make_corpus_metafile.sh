#!/usr/bin/env bash
# Regenerates the seed corpus of the metafile fuzz target: Inkscape's files of
# tests/data/metafile and hand-made headers (the files are committed; run this
# only to refresh them).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="$here/corpus/fuzz_metafile"
mkdir -p "$out"
cp "$here/../data/metafile/"*.wmf "$here/../data/metafile/"*.emf "$out/"
/usr/bin/python3 - "$out" <<'PY'
import struct, sys
out = sys.argv[1]
def wmf(words=12):
    return struct.pack('<HHHIHIH', 1, 9, 0x300, words, 0, 3, 0) + struct.pack('<IH', 3, 0)
def placeable(box, inch):
    return struct.pack('<IH4hHIH', 0x9AC6CDD7, 0, *box, inch, 0, 0)
def emf(palette):
    eof = 20 + 4 * len(palette)
    head = struct.pack('<II4i4iIIIIHHIII4i', 1, 88, 0, 0, 99, 49, 0, 0, 2540, 1270, 0x464D4520,
                       0x10000, 88 + eof, 2, 1, 0, 0, 0, len(palette), 1024, 768, 320, 240)
    return head + struct.pack('<IIII', 14, eof, len(palette), 16) + bytes(palette_bytes(palette)) + struct.pack('<I', eof)
def palette_bytes(p):
    for r, g, b in p:
        yield from (r, g, b, 0)
open(f'{out}/placeable-promises-more.wmf', 'wb').write(placeable((0, 0, 1999, 999), 1000) + wmf(1000))
open(f'{out}/placeable-header-only.wmf', 'wb').write(placeable((-5, -5, 5, 5), 0))
open(f'{out}/plain.wmf', 'wb').write(wmf())
open(f'{out}/palette.emf', 'wb').write(emf([(255, 0, 0), (0, 255, 0), (1, 2, 3)]))
PY
