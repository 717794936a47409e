#!/usr/bin/env bash
# Regenerates the seed corpus of the WebP fuzz target from small pictures made
# by netpbm and ImageMagick, encoded by cwebp and img2webp (the files are
# committed; run this only to refresh them).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="$here/corpus/fuzz_webp"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ppmpat -camo 13 9 | pnmtopng > "$work/c.png"
convert -size 11x7 gradient:red-blue -alpha set -channel A -fx 'i/w' "$work/a.png"
convert -size 9x5 xc:lime "$work/f1.png"
convert -size 9x5 xc:navy -fill yellow -draw 'rectangle 2,1 5,3' "$work/f2.png"

cwebp -quiet -q 75 "$work/c.png" -o "$out/lossy.webp"
cwebp -quiet -lossless "$work/c.png" -o "$out/lossless.webp"
cwebp -quiet -q 50 "$work/a.png" -o "$out/lossy-alpha.webp"
cwebp -quiet -lossless "$work/a.png" -o "$out/lossless-alpha.webp"
img2webp -lossless "$work/f1.png" -d 100 -lossy "$work/f2.png" -o "$out/animated.webp" \
    > /dev/null
