#!/usr/bin/env bash
# Runs a fuzz target for longer than the test command does:
#   tests/fuzz/run.sh [TARGET] [SECONDS]
# New inputs go to build/fuzz-corpus/TARGET; crashes to build/fuzz-crashes/.
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
target="${1:-fuzz_bitmap}"
seconds="${2:-600}"
bin="$top/build/sanitize/tests/$target"
[ -x "$bin" ] || { echo "build the sanitizer tree first: bash scripts/test.sh" >&2; exit 2; }
corpus="$top/build/fuzz-corpus/$target"
mkdir -p "$corpus" "$top/build/fuzz-crashes"
cp -n "$top/tests/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
dict=$(source "$top/tests/fuzz/lib.sh" && fuzz_dictionary "$target")
exec "$bin" -max_total_time="$seconds" -max_len=65536 ${dict:+-dict="$dict"} \
    -artifact_prefix="$top/build/fuzz-crashes/" "$corpus"
