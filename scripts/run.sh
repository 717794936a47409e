#!/usr/bin/env bash
# Builds the native zendra-cli and shows it at work on a small sample picture:
#
#   bash scripts/run.sh
#
# Makes build/sample/sample.bmp (a 96x64 true-colour pattern drawn by netpbm),
# prints `zendra-cli info` of it, converts it to build/sample/converted.bmp and
# checks with netpbm that both files hold the same pixels.
set -euo pipefail
exec < /dev/null

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

bash scripts/setup.sh

if [ ! -f build/native/build.ninja ]; then
    CC=gcc CXX=g++ cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
ninja -C build/native zendra-cli
cli=build/native/zendra-cli

mkdir -p build/sample
sample=build/sample/sample.bmp
converted=build/sample/converted.bmp

echo
echo "\$ ppmpat -madras 96 64 | ppmtobmp -bpp=24 > $sample"
ppmpat -madras 96 64 2> /dev/null | ppmtobmp -bpp=24 > "$sample" 2> /dev/null

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
if cmp -s <(bmptopnm "$sample" 2> /dev/null) <(bmptopnm "$converted" 2> /dev/null); then
    echo "netpbm reads the same pixels from $sample and $converted."
else
    echo "netpbm reads different pixels from $sample and $converted." >&2
    exit 1
fi
