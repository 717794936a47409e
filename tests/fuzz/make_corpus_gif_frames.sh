#!/usr/bin/env bash
# Regenerates the seed corpus of the animated GIF fuzz target: small
# animations made by ImageMagick with every disposal method, frames at
# offsets, transparency, interlacing and a loop count (the files are
# committed; run this only to refresh them).
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/corpus/fuzz_gif_frames"
mkdir -p "$out"
convert -dispose none -delay 20 -page +0+0 -size 20x15 xc:yellow -size 5x5 -page +3+3 xc:red \
    -page +10+5 xc:blue -page +16+12 xc:green -loop 0 GIF:"$out/dispose-none.gif"
convert -dispose none -delay 7 -page +0+0 -size 20x15 xc:yellow -dispose background -size 5x5 \
    -page +3+3 xc:red -page +4+5 xc:blue -page +15+10 xc:green GIF:"$out/dispose-background.gif"
convert -dispose none -page +0+0 -size 20x15 gradient:red-blue -dispose previous -size 5x5 \
    -page +3+3 xc:red -page +6+4 xc:blue -dispose none -page +0+0 xc:green \
    GIF:"$out/dispose-previous.gif"
convert -dispose none -page +0+0 -size 15x10 xc:navy xc:none -fill orange -draw \
    'rectangle 2,2 6,6' -page +5+3 -size 6x4 xc:none -fill lime -draw 'point 3,2' \
    -dispose background -page +0+0 -size 15x10 xc:none -fill red -draw 'line 0,0 14,9' \
    GIF:"$out/transparent.gif"
convert -dispose background -delay 0 -page 25x20+2+2 -size 15x10 gradient:red-blue \
    -page 25x20+10+8 -size 12x10 gradient:green-yellow -dispose previous -page 25x20+15+0 \
    -size 10x15 gradient:white-black GIF:"$out/screen-larger.gif"
convert -interlace GIF -dispose none -delay 1 -page +0+0 -size 17x11 gradient:purple-white \
    -page +10+6 -size 4x3 xc:purple -loop 3 GIF:"$out/interlaced-loop3.gif"
