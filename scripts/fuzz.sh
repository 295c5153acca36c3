#!/usr/bin/env bash
# Runs the compiler's fuzz target: SECONDS_TO_RUN (default 600) seconds with the samples as the
# seed corpus. The short run in the tests uses FUZZ_SECONDS=20.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_TO_RUN=${1:-${FUZZ_SECONDS:-600}}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_compiler
CORPUS=build/fuzz/corpus-compiler
mkdir -p "$CORPUS"
cp samples/*.zpf "$CORPUS/"
build/fuzz/bin/fuzz_compiler -dict=tests/fuzz/compiler.dict -max_total_time="$SECONDS_TO_RUN" \
  -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$CORPUS" 2>&1 | tail -25
