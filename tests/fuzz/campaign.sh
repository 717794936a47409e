#!/usr/bin/env bash
# A fuzzing campaign over every fuzz target (tests/fuzz/fuzz_*.cpp):
#   tests/fuzz/campaign.sh [MINUTES]        (default 20 minutes per target)
# Each target runs for MINUTES on its campaign corpus (build/fuzz-campaign/
# TARGET/corpus, started from the seed corpus), with its format's
# dictionary, two targets at a time (FUZZ_JOBS=N for another number). New
# coverage is merged into the campaign corpus and the corpus minimised.
# Findings (crashes, timeouts, leaks, memory: over 2 GB in all or 512 MB in one
# block) are kept as regression inputs in
# tests/fuzz/regress/TARGET, which the test command replays. Prints per target:
# inputs run, processor seconds, inputs per second (of wall time and of
# processor time), corpus size, edges covered, findings.
# Environment: FUZZ_BUILD (the sanitizer tree, default build/sanitize),
# FUZZ_TARGETS (names to run instead of all), FUZZ_JOBS.
set -uo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
source "$top/tests/fuzz/lib.sh"
minutes="${1:-20}"
case "$minutes" in
'' | *[!0-9.]*) echo "usage: $0 [MINUTES]" >&2; exit 2 ;;
esac
seconds=$(awk -v m="$minutes" 'BEGIN { s = int(m * 60 + 0.5); print s < 1 ? 1 : s }')
build="${FUZZ_BUILD:-$top/build/sanitize}"
jobs="${FUZZ_JOBS:-2}"
work="$top/build/fuzz-campaign"

targets=()
if [ -n "${FUZZ_TARGETS:-}" ]; then
    read -r -a targets <<< "$FUZZ_TARGETS"
else
    for source in "$top"/tests/fuzz/fuzz_*.cpp; do
        [ -e "$source" ] && targets+=("$(basename "$source" .cpp)")
    done
fi
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in tests/fuzz" >&2; exit 2; }
if [ ! -f "$build/build.ninja" ]; then
    echo "configure the sanitizer tree first (-DZENDRA_SANITIZE=ON -DZENDRA_FUZZ=ON in $build)" >&2
    exit 2
fi
nice -n 10 ninja -C "$build" "${targets[@]}" > "$work.build.log" 2>&1 || {
    cat "$work.build.log" >&2
    exit 1
}

# run_target NAME: the campaign of one target, then the merge.
run_target() {
    local name=$1 exe="$build/tests/$1" dir="$work/$1"
    mkdir -p "$dir/corpus" "$dir/findings"
    rm -f "$dir/findings/"*
    if [ -d "$top/tests/fuzz/corpus/$name" ]; then
        cp -n "$top/tests/fuzz/corpus/$name/"* "$dir/corpus/" 2> /dev/null || true
    fi
    local dict
    dict=$(fuzz_dictionary "$name")
    local start end
    start=$(date +%s.%N)
    (cd "$dir" && nice -n 10 "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -malloc_limit_mb=512 -max_len=65536 -print_final_stats=1 ${dict:+-dict="$dict"} \
        -artifact_prefix="$dir/findings/" corpus > "$dir/run.log" 2>&1)
    # A finding ends the run: go on from the corpus so far until the time is up.
    end=$(date +%s.%N)
    while ls "$dir/findings/" 2> /dev/null | grep -q . &&
        awk -v s="$start" -v e="$(date +%s.%N)" -v t="$seconds" 'BEGIN { exit !(e - s < t - 5) }'; do
        local left
        left=$(awk -v s="$start" -v e="$(date +%s.%N)" -v t="$seconds" 'BEGIN { print int(t - (e - s)) }')
        mkdir -p "$dir/findings-seen"
        mv "$dir/findings/"* "$dir/findings-seen/" 2> /dev/null
        (cd "$dir" && nice -n 10 "$exe" -max_total_time="$left" -timeout=10 -rss_limit_mb=2048 \
            -malloc_limit_mb=512 -max_len=65536 -print_final_stats=1 ${dict:+-dict="$dict"} \
            -artifact_prefix="$dir/findings/" corpus >> "$dir/run.log" 2>&1)
        end=$(date +%s.%N)
    done
    if [ -d "$dir/findings-seen" ]; then
        mv "$dir/findings-seen/"* "$dir/findings/" 2> /dev/null
        rmdir "$dir/findings-seen"
    fi
    # The processor time of the runs (this shell's children so far): with more
    # targets than cores the wall time overstates it.
    # (times goes to a file: a command substitution would be a new process.)
    local cpu
    times > "$dir/cpu"
    cpu=$(awk 'NR == 2 { split($1, u, /[ms]/); split($2, s, /[ms]/); print u[1] * 60 + u[2] + s[1] * 60 + s[2] }' "$dir/cpu")
    echo "$start $end $cpu" > "$dir/times"
    # Merge and minimise: the smallest set of inputs with all the coverage.
    rm -rf "$dir/merged"
    mkdir -p "$dir/merged"
    if (cd "$dir" && nice -n 10 "$exe" -merge=1 -timeout=10 -rss_limit_mb=2048 merged corpus \
        > "$dir/merge.log" 2>&1); then
        rm -rf "$dir/corpus"
        mv "$dir/merged" "$dir/corpus"
    fi
    # Findings become regression inputs.
    for f in "$dir/findings/"*; do
        [ -f "$f" ] || continue
        mkdir -p "$top/tests/fuzz/regress/$name"
        cp "$f" "$top/tests/fuzz/regress/$name/"
    done
}

echo "campaign: ${#targets[@]} targets, $minutes minutes each, $jobs at a time (logs in $work)"
mkdir -p "$work"
running=0
for t in "${targets[@]}"; do
    if [ ! -x "$build/tests/$t" ]; then
        echo "($t is not built in $build)"
        continue
    fi
    if [ "$running" -ge "$jobs" ]; then
        wait -n
        running=$((running - 1))
    fi
    run_target "$t" &
    running=$((running + 1))
done
wait

printf '\n%-16s %12s %8s %10s %8s %8s %8s %8s  %s\n' target inputs cpu-s inputs/s per-cpu-s corpus KiB edges \
    findings
status=0
for t in "${targets[@]}"; do
    dir="$work/$t"
    [ -f "$dir/times" ] || continue
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$dir/run.log" | awk '{ n += $2 } END { print n + 0 }')
    read -r start end cpu < "$dir/times"
    rate=$(awk -v n="$runs" -v s="$start" -v e="$end" 'BEGIN { printf "%d", n / (e - s) }')
    cpurate=$(awk -v n="$runs" -v c="${cpu:-0}" 'BEGIN { printf "%d", (c > 0 ? n / c : 0) }')
    files=$(find "$dir/corpus" -type f | wc -l)
    kib=$(du -sk "$dir/corpus" | awk '{ print $1 }')
    edges=$(grep -o 'cov: [0-9]*' "$dir/run.log" | tail -1 | awk '{ print $2 }')
    findings=$(find "$dir/findings" -type f | wc -l)
    printf '%-16s %12s %8.0f %10s %8s %8s %8s %8s  %s\n' "$t" "$runs" "${cpu:-0}" "$rate" "$cpurate" "$files" \
        "$kib" "${edges:-?}" "$findings"
    for f in "$dir/findings/"*; do
        [ -f "$f" ] || continue
        echo "    finding: $f (kept as tests/fuzz/regress/$t/$(basename "$f"))"
        status=1
    done
done
exit $status
