#!/usr/bin/env bash
# Times a batch conversion of 200 small pictures with -j 2 against -j 1 and
# prints the throughput ratio (goal: at least 1.8 on two cores). Each picture
# is a 320 x 240 24-bit bitmap made with ppmpat, reduced to the best 256
# colours and written run-length coded.
#   bench/batch.sh            (builds build/bench first)
# Environment: BATCH_FILES (default 200), BATCH_RUNS (best of, default 3).
# Not part of pass/fail: the figures go to the terminal, with the load average
# before and after (other work on the machine skews them).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$top/build/bench"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENDRA_BENCH=ON -DZENDRA_TESTS=OFF >/dev/null
ninja -C "$build" zendra-cli >/dev/null
cli="$build/zendra-cli"
work="${BENCH_DIR:-$build/work}/batch"
files=${BATCH_FILES:-200}
runs=${BATCH_RUNS:-3}
mkdir -p "$work/in"

patterns=(-camo -gingham3 -madras -tartan -poles -squig -argyle2 -gingham2)
inputs=()
for i in $(seq 1 "$files"); do
    f="$work/in/picture-$i.bmp"
    if [ ! -f "$f" ]; then
        p=${patterns[$((i % ${#patterns[@]}))]}
        ppmpat -randomseed "$i" "$p" 320 240 2>/dev/null | ppmtobmp -bpp 24 > "$f" 2>/dev/null
    fi
    inputs+=("$f")
done

# Best of N wall-clock runs of a batch with the given -j, in seconds.
best() {
    local jobs=$1 best=
    for _ in $(seq "$runs"); do
        rm -rf "$work/out"
        mkdir -p "$work/out"
        local s e t
        s=$(date +%s.%N)
        "$cli" convert --to bmp-rle --reduce best256 -j "$jobs" --outdir "$work/out" \
            "${inputs[@]}" 2>/dev/null || { echo "batch failed (-j $jobs)" >&2; exit 1; }
        e=$(date +%s.%N)
        t=$(echo "$e - $s" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    echo "$best"
}

echo "load before: $(uptime)"
one=$(best 1)
two=$(best 2)
echo "load after:  $(uptime)"
printf 'batch of %d pictures 320x240x24 -> bmp-rle (best 256 colours): -j 1 %.3fs (%.0f files/s), -j 2 %.3fs (%.0f files/s), speed-up %.2fx (goal: at least 1.8x)\n' \
    "$files" "$one" "$(echo "$files / $one" | bc -l)" "$two" "$(echo "$files / $two" | bc -l)" \
    "$(echo "$one / $two" | bc -l)"
rm -rf "$work/out"
