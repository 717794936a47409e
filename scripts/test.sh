#!/usr/bin/env bash
# The whole test run: installs what is missing, fetches the sources of the
# image libraries (the tests read their sample pictures) and builds them for
# the Windows targets (scripts/deps.sh; once), builds the four build trees
# (incrementally), runs the native suites, the same suites under ASan and UBSan,
# each fuzz target for a short fixed number of inputs, and the Windows unit
# tests under Wine; the 32-bit Windows build is compiled and linked only.
#
#   bash scripts/test.sh
#
# Environment: FUZZ_RUNS (inputs per fuzz target, default 20000), FUZZ_MAX_TIME
# (seconds a fuzz target may run at most, default 60; the run stops at whichever
# limit comes first), FUZZ_TIMEOUT (seconds one input may take, default 60),
# JOBS (build and test parallelism, default the number of cores), DIFFERENTIAL_COUNT
# (random pictures per format of the differential test, default 10).
#
# Also checks that the C++ sources are formatted with clang-format (a warning
# unless FORMAT_CHECK=strict).
# Ends with one line "N passed, N failed" counting the steps, and exits non-zero
# when any step failed.
set -uo pipefail
exec < /dev/null

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

fuzz_runs=${FUZZ_RUNS:-20000}
fuzz_max_time=${FUZZ_MAX_TIME:-60}
fuzz_timeout=${FUZZ_TIMEOUT:-60}
jobs=${JOBS:-$(nproc 2> /dev/null || echo 2)}
passed=0
failed=0
failures=()

# Sanitizer reports end the program with a failure status instead of going on.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:halt_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-abort_on_error=1:halt_on_error=1:print_stacktrace=1}

# step NAME COMMAND...: runs one step, shows its output, counts the result.
step() {
    local name=$1
    shift
    echo "=== $name"
    local start=$SECONDS status=0
    "$@" || status=$?
    local took=$((SECONDS - start))
    if [ "$status" -eq 0 ]; then
        passed=$((passed + 1))
        echo "=== ok: $name (${took}s)"
    else
        failed=$((failed + 1))
        failures+=("$name")
        echo "=== FAILED: $name (status $status, ${took}s)"
    fi
    return "$status"
}

# A step that could not run because the one it needs failed.
not_run() {
    failed=$((failed + 1))
    failures+=("$1")
    echo "=== FAILED: $1 (not run: $2 failed)"
}

# configure DIR COMPILER_C COMPILER_CXX CMAKE_ARGS...: runs cmake only when the
# tree has never been configured or was configured with other arguments; later
# changes to the CMake files are picked up by ninja itself.
configure() {
    local dir=$1 cc=$2 cxx=$3
    shift 3
    local args=(-S "$top" -B "$dir" -G Ninja "$@")
    local stamp="$dir/.zendra-configure"
    local want="${args[*]} CC=$cc CXX=$cxx libraries=build/deps"
    if [ -f "$dir/build.ninja" ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
        return 0
    fi
    if [ -f "$dir/CMakeCache.txt" ] && [ -n "$cxx" ]; then
        # A tree configured with another compiler starts again from scratch.
        local cached
        cached=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$dir/CMakeCache.txt")
        if [ "$(readlink -f "$cached" 2> /dev/null)" != "$(readlink -f "$(command -v "$cxx")")" ]; then
            rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
        fi
    fi
    # Other arguments: nothing cached from them (found libraries above all)
    # may stay. Objects whose commands do not change are not rebuilt.
    rm -f "$dir/CMakeCache.txt"
    rm -f "$stamp"
    if [ -n "$cxx" ]; then
        CC=$cc CXX=$cxx cmake "${args[@]}" || return 1
    else
        cmake "${args[@]}" || return 1
    fi
    echo "$want" > "$stamp"
}

build() {
    local dir=$1
    shift
    configure "$dir" "$@" && ninja -C "$dir" -j "$jobs"
}

# build_native DIR CC CXX CMAKE_ARGS...: the native image libraries (quick once
# built), then the tree.
build_native() {
    bash scripts/deps.sh build native && build "$@"
}

# build_windows DIR TRIPLE: the target's image libraries (quick once built),
# then the tree.
build_windows() {
    bash scripts/deps.sh build "$2" &&
        build "$1" "" "" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-$2.cmake" -DZENDRA_TESTS=ON
}

run_ctest() {
    ctest --test-dir "$1" --output-on-failure --no-tests=error --timeout 300 -j "$jobs"
}

# The sources follow the repository's .clang-format. Lists the files that do
# not; with FORMAT_CHECK=strict that fails the run, otherwise it only warns.
format_check() {
    local files=()
    if git -C "$top" rev-parse --is-inside-work-tree > /dev/null 2>&1; then
        while IFS= read -r f; do [ -f "$f" ] && files+=("$f"); done < <(git -C "$top" ls-files \
            '*.c' '*.cpp' '*.h' '*.hpp')
    else
        while IFS= read -r f; do files+=("$f"); done < <(find . -path ./build -prune -o \
            -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' \) -print)
    fi
    local bad=()
    for f in ${files[@]+"${files[@]}"}; do
        clang-format --dry-run --Werror "$f" > /dev/null 2>&1 || bad+=("$f")
    done
    [ ${#bad[@]} -eq 0 ] && return 0
    echo "not formatted with clang-format (clang-format -i FILE fixes it):"
    printf '  %s\n' "${bad[@]}"
    if [ "${FORMAT_CHECK:-warn}" = strict ]; then return 1; fi
    echo "(a warning only; FORMAT_CHECK=strict makes it fail the run)"
}

# fuzz_target EXE: a short run over a copy of the target's seed corpus, with
# crash files kept in the build tree.
fuzz_target() {
    local exe=$1 name
    name=$(basename "$exe")
    local work="$top/build/sanitize/fuzz-run/$name"
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/artifacts"
    if [ -d "$top/tests/fuzz/corpus/$name" ]; then
        cp -R "$top/tests/fuzz/corpus/$name/." "$work/corpus/"
    else
        echo "($name has no seed corpus in tests/fuzz/corpus/$name)"
    fi
    # The format's dictionary, when it has one (tests/fuzz/dict).
    local dict
    dict=$(source "$top/tests/fuzz/lib.sh" && fuzz_dictionary "$name")
    (cd "$work" && "$exe" -runs="$fuzz_runs" -max_total_time="$fuzz_max_time" \
        -timeout="$fuzz_timeout" -rss_limit_mb=2048 ${dict:+-dict="$dict"} \
        -artifact_prefix="$work/artifacts/" -print_final_stats=1 corpus)
}

step "setup" bash scripts/setup.sh
step "deps fetch" bash scripts/deps.sh fetch && cat build/deps/revisions.txt
step "format" format_check

# Native build and suites (g++).
if step "build native" build_native build/native gcc g++ -DCMAKE_BUILD_TYPE=Release -DZENDRA_TESTS=ON; then
    step "tests native" run_ctest build/native
    # Random pictures from netpbm and ImageMagick, decoded by them and by us
    # (DIFFERENTIAL_COUNT per format, default 10).
    step "differential native" tests/interop/differential --count "${DIFFERENTIAL_COUNT:-10}" \
        --cli build/native/zendra-cli
else
    not_run "tests native" "build native"
    not_run "differential native" "build native"
fi

# Sanitizers and fuzz targets (clang).
if step "build sanitize" build_native build/sanitize clang clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZENDRA_TESTS=ON -DZENDRA_SANITIZE=ON -DZENDRA_FUZZ=ON; then
    step "tests sanitize" run_ctest build/sanitize
    fuzzers=()
    if [ -d build/sanitize/tests ]; then
        while IFS= read -r f; do fuzzers+=("$f"); done < <(find build/sanitize/tests -maxdepth 2 \
            -type f -name 'fuzz_*' -perm -u+x | sort)
    fi
    if [ ${#fuzzers[@]} -eq 0 ]; then echo "=== (no fuzz targets built)"; fi
    for f in ${fuzzers[@]+"${fuzzers[@]}"}; do
        step "fuzz $(basename "$f") ($fuzz_runs runs, at most ${fuzz_max_time}s)" fuzz_target "$top/$f"
    done
else
    not_run "tests sanitize" "build sanitize"
fi

# Windows, x86_64: built, then the unit suites run under Wine.
if step "build win64" build_windows build/win64 x86_64-w64-mingw32; then
    step "tests win64 (Wine)" bash scripts/wine-run.sh build/win64/tests/unit_tests.exe
    step "shell tests win64 (Wine)" bash scripts/wine-run.sh build/win64/tests/win/shell_tests.exe
    step "end-to-end win64 (Xvfb)" bash tests/win/end_to_end.sh build/win64
else
    not_run "tests win64 (Wine)" "build win64"
    not_run "shell tests win64 (Wine)" "build win64"
    not_run "end-to-end win64 (Xvfb)" "build win64"
fi

# Windows, i686: compiled and linked only (this machine cannot run 32-bit programs).
step "build win32" build_windows build/win32 i686-w64-mingw32

echo
if [ ${#failures[@]} -gt 0 ]; then
    echo "Failed steps:"
    for f in "${failures[@]}"; do echo "  $f"; done
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
