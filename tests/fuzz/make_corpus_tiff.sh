#!/usr/bin/env bash
# Regenerates the seed corpus of the TIFF fuzz target: small pictures from
# netpbm put through libtiff's tiffcp in every compression the reader decodes,
# in strips and tiles, contiguous and separate planes, and ImageMagick's
# files of 1 to 16 bits, CMYK, Lab, Y/Cb/Cr and every orientation (the files
# are committed; run this only to refresh them).
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/corpus/fuzz_tiff"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ppmpat -camo 13 9 > "$work/c.ppm" 2> /dev/null
pgmramp -lr 13 9 > "$work/g.pgm"
pbmmake -g 21 7 > "$work/b.pbm"
pnmquant 16 "$work/c.ppm" > "$work/c16.ppm" 2> /dev/null

pnmtotiff -truecolor "$work/c.ppm" > "$work/rgb.tif" 2> /dev/null
pnmtotiff "$work/c16.ppm" > "$work/palette.tif" 2> /dev/null
pnmtotiff -minisblack "$work/g.pgm" > "$work/gray.tif" 2> /dev/null
pnmtotiff -miniswhite "$work/g.pgm" > "$work/gray-mw.tif" 2> /dev/null
pnmtotiff "$work/b.pbm" > "$work/bilevel.tif" 2> /dev/null

for c in none lzw:2 zip packbits jpeg; do
    for t in "" "-t -w 16 -l 16"; do
        tiffcp -c "$c" $t "$work/rgb.tif" "$out/rgb-${c%%:*}${t:+-t}.tif"
        [ "$c" = jpeg ] || tiffcp -c "$c" $t -p separate "$work/rgb.tif" "$out/rgb-${c%%:*}${t:+-t}-separate.tif"
    done
done
for c in none lzw packbits zip; do
    tiffcp -c "$c" "$work/palette.tif" "$out/palette-$c.tif"
    tiffcp -c "$c" -t -w 16 -l 16 "$work/gray-mw.tif" "$out/gray-mw-$c-t.tif"
done
tiffcp -c jpeg "$work/gray.tif" "$out/gray-jpeg.tif"
for c in none g3 g4 packbits lzw; do
    tiffcp -c "$c" "$work/bilevel.tif" "$out/bilevel-$c.tif"
done
tiffcp -c g4 -t -w 32 -l 16 "$work/bilevel.tif" "$out/bilevel-g4-t.tif"

convert "$work/c.ppm" -colorspace gray -depth 2 "$out/magick-gray2.tif"
convert "$work/c.ppm" -colorspace gray -depth 4 "$out/magick-gray4.tif"
convert "$work/c.ppm" -colorspace gray -depth 16 "$out/magick-gray16.tif"
convert "$work/c.ppm" -depth 16 -compress lzw "$out/magick-rgb16.tif"
convert "$work/c.ppm" -colorspace CMYK "$out/magick-cmyk.tif"
convert "$work/c.ppm" -colorspace CMYK -interlace plane -define tiff:tile-geometry=16x16 \
    "$out/magick-cmyk-separate-tiles.tif"
convert "$work/c.ppm" -colorspace Lab "$out/magick-lab.tif"
convert "$work/c.ppm" -alpha set "$out/magick-rgba.tif"
convert "$work/c.ppm" -type palette -depth 4 "$out/magick-palette4.tif"
convert "$work/c.ppm" -compress zip -define tiff:rows-per-strip=2 "$out/magick-zip-strips.tif"
convert "$work/c.ppm" -endian MSB "$out/magick-big-endian.tif"
for o in 2 5 6 8; do
    cp "$work/rgb.tif" "$out/orientation-$o.tif"
    tiffset -s 274 "$o" "$out/orientation-$o.tif"
done
# Y/Cb/Cr without JPEG goes through the RGBA image reader.
convert "$work/c.ppm" -define tiff:photometric=ycbcr -compress lzw "$out/magick-ycbcr-lzw.tif" \
    2> /dev/null || true
