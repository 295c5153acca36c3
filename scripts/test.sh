#!/usr/bin/env bash
# Installs what is missing, builds the default and the sanitizer build and runs every test in
# both. Exits non-zero when anything fails. PRESETS="default" limits the run to one build.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
PRESETS=${PRESETS:-"default asan"}
if [ -n "${CI:-}" ]; then
  PRESETS=${CI_PRESETS:-"ci ci-asan"}
fi
export QT_QPA_PLATFORM=offscreen
status=0
for preset in $PRESETS; do
  echo "=== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "=== test: $preset"
  ctest --preset "$preset" -j2 || status=1
done
# A short run of the compiler's fuzz target (the long run is scripts/fuzz.sh).
if [ "${FUZZ_SECONDS:-20}" != 0 ]; then
  echo "=== fuzz: compiler, ${FUZZ_SECONDS:-20} s"
  FUZZ_SECONDS=${FUZZ_SECONDS:-20} ./scripts/fuzz.sh || status=1
fi
if [ $status = 0 ]; then echo "all tests passed"; else echo "TESTS FAILED"; fi
exit $status
