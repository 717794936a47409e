#!/usr/bin/env bash
# Times zendra-cli against other programs on the same files and prints ratios.
#   bench/compare.sh            (builds build/bench first)
# Not part of pass/fail: the figures go to the terminal.
set -euo pipefail
. "$(dirname "$0")/timing.sh"

src="$work/big24.bmp"
if [ ! -f "$src" ]; then
    echo "making an 8000 x 6000 24-bit bitmap..."
    ppmpat -madras 8000 6000 2>/dev/null | ppmtobmp -windows -bpp 24 > "$src" 2>/dev/null \
        || convert -size 8000x6000 plasma:fractal -type TrueColor BMP3:"$src"
fi
sync
cp_time=$(best 5 cp "$src" "$work/copy.bmp")
z_time=$(best 5 "$cli" convert --force "$src" "$work/out.bmp")
printf 'bmp -> bmp 8000x6000x24 (%s MB): cp %.3fs, zendra-cli %.3fs, ratio %.2f (goal: at most 2)\n' \
    "$(( $(stat -c %s "$src") / 1000000 ))" "$cp_time" "$z_time" "$(echo "$z_time / $cp_time" | bc -l)"
rm -f "$work/copy.bmp" "$work/out.bmp"

ilbm="$work/big24.iff"
if [ ! -f "$ilbm" ]; then
    echo "making a 4000 x 3000 24-plane ByteRun1 ILBM..."
    ppmpat -madras 4000 3000 2>/dev/null | ppmtoilbm -24force -compress > "$ilbm" 2>/dev/null
fi
n_time=$(best 3 sh -c "ilbmtoppm '$ilbm' > /dev/null")
z_time=$(best 3 "$cli" convert --force "$ilbm" "$work/out.bmp")
printf 'iff -> bmp 4000x3000x24 packed: ilbmtoppm %.3fs, zendra-cli %.3fs, ratio %.2f\n' \
    "$n_time" "$z_time" "$(echo "$z_time / $n_time" | bc -l)"
rm -f "$work/out.bmp"

# PCX and Targa, both ways, on the 8000 x 6000 24-bit picture: run-length
# output from every program (ImageMagick's Targa writer is told to use it,
# netpbm's uses it unasked).
pcx="$work/big24.pcx"
tga="$work/big24.tga"
if [ ! -f "$pcx" ] || [ ! -f "$tga" ]; then
    echo "making 8000 x 6000 24-bit PCX and Targa files..."
    bmptopnm "$src" 2>/dev/null | ppmtopcx -24bit > "$pcx" 2>/dev/null
    bmptopnm "$src" 2>/dev/null | pamtotga -rgb > "$tga" 2>/dev/null
fi
sync
for way in "pcx tga" "tga pcx"; do
    set -- $way
    in="$work/big24.$1"
    out="$work/out.$2"
    if [ "$2" = tga ]; then
        z_cmd=("$cli" convert --force --to tga-rle "$in" "$out")
        m_cmd=(convert "$in" -compress RLE "TGA:$out")
        n_pipe="pcxtoppm '$in' | ppmtotga -rgb > '$out'"
    else
        z_cmd=("$cli" convert --force "$in" "$out")
        m_cmd=(convert "$in" "PCX:$out")
        n_pipe="tgatoppm '$in' | ppmtopcx -24bit > '$out'"
    fi
    z_time=$(best 3 "${z_cmd[@]}")
    m_time=$(best 3 "${m_cmd[@]}")
    n_time=$(best 3 sh -c "$n_pipe")
    printf '%s -> %s 8000x6000x24: zendra-cli %.3fs, ImageMagick %.3fs (%.1fx), netpbm %.3fs (%.1fx) (goal: 3x)\n' \
        "$1" "$2" "$z_time" "$m_time" "$(echo "$m_time / $z_time" | bc -l)" "$n_time" \
        "$(echo "$n_time / $z_time" | bc -l)"
    rm -f "$out"
done

"$build/bench/bench_decode" --benchmark_min_time=1
