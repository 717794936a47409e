#!/usr/bin/env bash
# End to end: zendra.exe starts under Xvfb with a picture on its command line;
# a screenshot must show the picture stretched into the preview square; EXIT
# (pressed by zendra-press-exit.exe) must end the program with status 1.
#
#   bash tests/win/end_to_end.sh BUILD_DIR     (the x86_64 build, e.g. build/win64)
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:?usage: end_to_end.sh BUILD_DIR}" && pwd)

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "${BASH_SOURCE[0]}" "$build"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A 64 x 32 picture: left half pure red, right half pure blue.
ppmmake red 32 32 > "$work/red.ppm"
ppmmake blue 32 32 > "$work/blue.ppm"
pnmcat -lr "$work/red.ppm" "$work/blue.ppm" | ppmtobmp -bpp=24 > "$work/halves.bmp" 2> /dev/null

# Wine shows the Unix root as drive Z:.
picture="Z:${work//\//\\}\\halves.bmp"
bash "$top/scripts/wine-run.sh" "$build/zendra.exe" "$picture" &
program=$!

# Pixels of exactly one colour on the screen.
count() { convert "$work/shot.png" -fill black +opaque "$1" -fill white -opaque "$1" \
    -format "%[fx:round(mean*w*h)]" info:; }

# The preview is 320 x 320: each half covers exactly 160 x 320 pixels when the
# whole square shows. The screen is read until both show, for at most a minute.
shown=0
for _ in $(seq 60); do
    sleep 1
    import -window root "$work/shot.png" 2> /dev/null || continue
    red=$(count "#FF0000")
    blue=$(count "#0000FF")
    if [ "$red" -eq 51200 ] && [ "$blue" -eq 51200 ]; then
        shown=1
        break
    fi
done
echo "end_to_end: red pixels ${red:-none}, blue pixels ${blue:-none}"

pressed=0
for _ in $(seq 10); do
    if WINEPREFIX=${ZENDRA_WINEPREFIX:-$top/build/win64/wineprefix} WINEDEBUG=-all \
        wine "$build/tests/win/zendra-press-exit.exe"; then
        pressed=1
        break
    fi
    sleep 1
done
status=0
wait "$program" || status=$?
echo "end_to_end: EXIT pressed: $pressed, zendra.exe exit status $status"
[ "$shown" = 1 ] && [ "$pressed" = 1 ] && [ "$status" = 1 ]
