#!/usr/bin/env bash
# Runs the fuzz targets: the compiler over source bytes (seeds: the samples) and the keytable
# reader over keytable bytes (seeds: the golden keytables), SECONDS_TO_RUN seconds each
# (default 600; the short run in the tests uses FUZZ_SECONDS=20).
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_TO_RUN=${1:-${FUZZ_SECONDS:-600}}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_compiler fuzz_zpxreader
run() {
  local target=$1 corpus=build/fuzz/corpus-$1; shift
  mkdir -p "$corpus"
  cp "$@" "$corpus/"
  echo "--- $target"
  build/fuzz/bin/$target -max_total_time="$SECONDS_TO_RUN" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 ${DICT:+-dict=$DICT} "$corpus" 2>&1 | tail -12
}
DICT=tests/fuzz/compiler.dict run fuzz_compiler samples/*.zpf
DICT= run fuzz_zpxreader compiler/tests/golden/*.zpx
