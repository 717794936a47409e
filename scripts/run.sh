#!/usr/bin/env bash
# Builds the native zendra-cli and shows it at work on a small sample picture,
# then starts the viewer, zendra.exe, on a folder of sample pictures:
#
#   bash scripts/run.sh
#
# Makes build/sample/sample.bmp (a 96x64 true-colour pattern drawn by netpbm),
# prints `zendra-cli info` of it, converts it to build/sample/converted.bmp and
# checks with netpbm that both files hold the same pixels. Then makes
# build/sample/pictures/ (bitmaps of 24, 8, 4 and 1 bits, a JPEG, a PNG and a
# GIF) and builds zendra.exe
# (build/win64, with the image libraries of scripts/deps.sh): with a display
# the viewer opens there on the first picture; without one it runs under Xvfb,
# build/sample/zendra-screenshot.png is saved and printed, and EXIT ends the
# program.
set -euo pipefail
exec < /dev/null

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

bash scripts/setup.sh

# The image libraries, built once from the pinned Debian sources.
bash scripts/deps.sh build native
if [ ! -f build/native/build.ninja ]; then
    CC=gcc CXX=g++ cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
ninja -C build/native zendra-cli
cli=build/native/zendra-cli

mkdir -p build/sample
sample=build/sample/sample.bmp
converted=build/sample/converted.bmp

echo
echo "\$ ppmpat -quiet -madras 96 64 | ppmtobmp -quiet -bpp=24 > $sample"
ppmpat -quiet -madras 96 64 | ppmtobmp -quiet -bpp=24 > "$sample"

echo
echo "\$ $cli info $sample"
"$cli" info "$sample"

echo
echo "\$ $cli convert --force $sample $converted"
"$cli" convert --force "$sample" "$converted"

echo
echo "\$ $cli info $converted"
"$cli" info "$converted"

echo
if cmp -s <(bmptopnm -quiet "$sample") <(bmptopnm -quiet "$converted"); then
    echo "netpbm reads the same pixels from $sample and $converted."
else
    echo "netpbm reads different pixels from $sample and $converted." >&2
    exit 1
fi

# The viewer: zendra.exe (the x86_64 build, under Wine) on a folder of sample
# pictures made here. With a display it opens there and runs until EXIT; without
# one it runs under Xvfb, a screenshot is saved, and EXIT ends it.
pictures=build/sample/pictures
mkdir -p "$pictures"
echo
echo "Sample pictures in $pictures:"
ppmpat -quiet -madras 256 192 > build/sample/madras.ppm
ppmtobmp -quiet -bpp=24 build/sample/madras.ppm > "$pictures/madras-24.bmp"
pnmquant -quiet 256 build/sample/madras.ppm | ppmtobmp -quiet -bpp=8 > "$pictures/madras-8.bmp"
ppmpat -quiet -gingham3 200 150 | pnmquant -quiet 16 |
    ppmtobmp -quiet -bpp=4 > "$pictures/gingham-4.bmp"
pgmramp -quiet -ellipse 160 160 | pgmtopbm -quiet |
    ppmtobmp -quiet -bpp=1 > "$pictures/ellipse-1.bmp"
ppmpat -quiet -tartan 240 180 | cjpeg -quality 90 > "$pictures/tartan.jpg"
ppmpat -quiet -argyle2 200 200 | pnmtopng -quiet > "$pictures/argyle.png"
ppmpat -quiet -poles 160 120 | pnmquant -quiet 64 | pamtogif -quiet > "$pictures/poles.gif"
ls "$pictures"

# zendra.exe links the image libraries built from Debian's sources (once).
bash scripts/deps.sh build x86_64-w64-mingw32
if [ ! -f build/win64/build.ninja ]; then
    cmake -S . -B build/win64 -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-w64-mingw32.cmake" -DZENDRA_TESTS=ON
fi
ninja -C build/win64 zendra zendra-press-exit
# Wine shows the Unix root as drive Z:.
first="Z:${top//\//\\}\\build\\sample\\pictures\\madras-24.bmp"

if [ -n "${DISPLAY:-}" ]; then
    echo
    echo "Starting zendra.exe on $pictures; its EXIT button ends it."
    bash scripts/wine-run.sh build/win64/zendra.exe "$first"
    exit 0
fi

shot=$top/build/sample/zendra-screenshot.png
echo
echo "No display: zendra.exe runs under Xvfb for a screenshot."
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -u
    bash scripts/wine-run.sh build/win64/zendra.exe "$1" &
    program=$!
    # Until the browser window is on the screen (at most a minute), then a
    # moment for the preview to be drawn.
    shown=0
    for _ in $(seq 60); do
        if xwininfo -root -tree | grep -q "Zendra Graphics"; then
            shown=1
            break
        fi
        sleep 1
    done
    if [ "$shown" = 0 ]; then
        echo "run: the viewer did not open its window within a minute" >&2
        kill "$program"
        wait "$program"
        exit 3
    fi
    sleep 3
    import -window root "$2"
    for _ in $(seq 10); do
        WINEPREFIX=${ZENDRA_WINEPREFIX:-$PWD/build/win64/wineprefix} WINEDEBUG=-all \
            wine build/win64/tests/win/zendra-press-exit.exe && break
        sleep 1
    done
    wait "$program"
' run-viewer "$first" "$shot" || status=$?
echo "zendra.exe ended with status ${status:-0} (1 is its normal exit)."
echo "Screenshot: $shot"
[ "${status:-0}" -eq 1 ]
