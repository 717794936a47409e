#!/usr/bin/env bash
# Times zendra-cli reading an 8000 x 6000 24-bit LZW TIFF and writing it as
# LZW with the differencing predictor, against libtiff's own tiffcp doing the
# same decode and encode (the library is the floor) and ImageMagick, and
# prints the ratios. Also the read alone (info) and tiled and Deflate output.
#   bench/compare_tiff.sh            (builds build/bench first)
# Not part of pass/fail.
set -euo pipefail
. "$(dirname "$0")/timing.sh"

tif="$work/photo24-lzw.tif"
if [ ! -f "$tif" ]; then
    echo "making an 8000 x 6000 24-bit photograph-like LZW TIFF..."
    convert -size 8000x6000 -seed 8000 plasma:fractal -attenuate 0.4 +noise Gaussian \
        -type TrueColor -depth 8 "$work/photo24-plain.tif"
    tiffcp -c lzw:2 "$work/photo24-plain.tif" "$tif"
    rm -f "$work/photo24-plain.tif"
fi
sync
out="$work/out.tif"

# row NAME ZENDRA_SECONDS (PROGRAM SECONDS GOAL)...: one line of figures;
# a goal "a" is "at most a times the program's time".
row() {
    local name=$1 z=$2
    shift 2
    printf '%-28s zendra-cli %6.3fs' "$name" "$z"
    while [ $# -gt 0 ]; do
        local ratio
        ratio=$(echo "$z / $2" | bc -l)
        printf ', %s %6.3fs (zendra/%s %.2f, goal %s)' "$1" "$2" "$1" "$ratio" "$3"
        shift 3
    done
    echo
}

z=$(best 5 "$cli" convert --force --to tif-lzw "$tif" "$out")
t=$(best 5 tiffcp -c lzw:2 "$tif" "$out")
m=$(best 3 convert "$tif" -compress lzw -define tiff:predictor=2 "$out")
row "LZW read, LZW+predictor write" "$z" tiffcp "$t" "<=1.2" ImageMagick "$m" "<1"
ls -l "$out" | awk '{print "  zendra-cli output " $5 " bytes"}'

z=$(best 5 "$cli" info "$tif")
m=$(best 3 convert "$tif" null:)
row "LZW read alone (info)" "$z" ImageMagick "$m" "-"

z=$(best 3 "$cli" convert --force --to tif-lzw-tiles "$tif" "$out")
t=$(best 3 tiffcp -c lzw:2 -t "$tif" "$out")
row "LZW read, LZW tiles write" "$z" tiffcp "$t" "-"

z=$(best 3 "$cli" convert --force --to tif-deflate "$tif" "$out")
t=$(best 3 tiffcp -c zip:2 "$tif" "$out")
row "LZW read, Deflate write" "$z" tiffcp "$t" "-"
rm -f "$out"
