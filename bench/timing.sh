# Shared by the comparison scripts: builds build/bench (Release, with the
# benchmarks), sets cli, work and best.
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$top/build/bench"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENDRA_BENCH=ON -DZENDRA_TESTS=OFF >/dev/null
ninja -C "$build" -j "${JOBS:-2}" >/dev/null
cli="$build/zendra-cli"
work="${BENCH_DIR:-$build/work}"
mkdir -p "$work"

# Best of N wall-clock runs of a command, in seconds.
best() {
    local n=$1; shift
    local best=
    for _ in $(seq "$n"); do
        local s e t
        s=$(date +%s.%N)
        "$@" >/dev/null 2>&1
        e=$(date +%s.%N)
        t=$(echo "$e - $s" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    echo "$best"
}
