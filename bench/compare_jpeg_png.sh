#!/usr/bin/env bash
# Times zendra-cli reading and writing a 6000 x 4000 24-bit JPEG and PNG
# against libjpeg-turbo's djpeg/cjpeg, netpbm and ImageMagick, and prints
# the ratios.
#   bench/compare_jpeg_png.sh            (builds build/bench first)
# Every program reads or writes the same files; decoders write a BMP (netpbm
# a PPM, its own format), encoders read one. JPEG at quality 85, PNG at each
# program's default compression. Not part of pass/fail.
set -euo pipefail
. "$(dirname "$0")/timing.sh"

bmp="$work/photo24.bmp"
if [ ! -f "$bmp" ]; then
    echo "making a 6000 x 4000 24-bit photograph-like bitmap..."
    convert -size 6000x4000 -seed 6000 plasma:fractal -attenuate 0.4 +noise Gaussian \
        -type TrueColor BMP3:"$bmp"
fi
ppm="$work/photo24.ppm"
[ -f "$ppm" ] || bmptopnm "$bmp" > "$ppm" 2>/dev/null
jpg="$work/photo24.jpg"
[ -f "$jpg" ] || cjpeg -quality 85 "$ppm" > "$jpg"
png="$work/photo24.png"
[ -f "$png" ] || pnmtopng "$ppm" > "$png" 2>/dev/null
sync
out="$work/out"

# row NAME ZENDRA_SECONDS (PROGRAM SECONDS GOAL)...: one line of figures;
# a goal "a" is "at most a times the program's time", "/a" "a times faster".
row() {
    local name=$1 z=$2
    shift 2
    printf '%-24s zendra-cli %6.3fs' "$name" "$z"
    while [ $# -gt 0 ]; do
        local ratio
        ratio=$(echo "$z / $2" | bc -l)
        printf ', %s %6.3fs (zendra/%s %.2f, goal %s)' "$1" "$2" "$1" "$ratio" "$3"
        shift 3
    done
    echo
}

# Decoding alone: zendra-cli info loads the whole picture into memory and
# ImageMagick's null: output keeps it there too; djpeg and pngtopnm stream
# rows to /dev/null and never hold the picture.
z=$(best 5 "$cli" info "$jpg")
d=$(best 5 sh -c "djpeg '$jpg' > /dev/null")
m=$(best 5 convert "$jpg" null:)
row "decode JPEG (info)" "$z" djpeg "$d" "-" ImageMagick "$m" "<=0.67"
z=$(best 5 "$cli" info "$png")
n=$(best 5 sh -c "pngtopnm '$png' > /dev/null")
m=$(best 5 convert "$png" null:)
row "decode PNG (info)" "$z" pngtopnm "$n" "-" ImageMagick "$m" "<=0.67"

z=$(best 5 "$cli" convert --force "$jpg" "$out.bmp")
d=$(best 5 sh -c "djpeg -bmp '$jpg' > '$out.bmp'")
m=$(best 5 convert "$jpg" BMP3:"$out.bmp")
row "read JPEG (to BMP)" "$z" djpeg "$d" "<=1.2" ImageMagick "$m" "<=0.67"

z=$(best 5 "$cli" convert --force --to jpg "$bmp" "$out.jpg")
c=$(best 5 sh -c "cjpeg -quality 85 '$bmp' > '$out.jpg'")
m=$(best 5 convert "$bmp" -quality 85 "$out.jpg")
row "write JPEG (from BMP)" "$z" cjpeg "$c" "<=1.2" ImageMagick "$m" "<=0.67"

z=$(best 5 "$cli" convert --force --to jpg-progressive "$bmp" "$out.jpg")
c=$(best 5 sh -c "cjpeg -quality 85 -progressive '$bmp' > '$out.jpg'")
m=$(best 5 convert "$bmp" -quality 85 -interlace JPEG "$out.jpg")
row "write progressive JPEG" "$z" cjpeg "$c" "<=1.2" ImageMagick "$m" "<=0.67"

z=$(best 5 "$cli" convert --force "$png" "$out.bmp")
n=$(best 5 sh -c "pngtopnm '$png' > '$out.ppm'")
m=$(best 5 convert "$png" BMP3:"$out.bmp")
row "read PNG (to BMP)" "$z" pngtopnm "$n" "-" ImageMagick "$m" "<=0.67"

z=$(best 5 "$cli" convert --force --to png "$bmp" "$out.png")
n=$(best 5 sh -c "pnmtopng '$ppm' > '$out.png'")
m=$(best 5 convert "$bmp" "$out.png")
row "write PNG (from BMP)" "$z" pnmtopng "$n" "-" ImageMagick "$m" "<=0.67"
ls -l "$out.png" "$png" | awk '{print "  " $5, $9}'
rm -f "$out.bmp" "$out.jpg" "$out.png" "$out.ppm"
