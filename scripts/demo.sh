#!/usr/bin/env bash
# The main job on the embedded default: builds the system and compiles a sample keytable with
# the download utility in automatic mode, as a technician's unattended run would.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
BIN=$PWD/build/default/bin
WORK=${ZPX_DEMO_DIR:-$PWD/build/demo}
mkdir -p "$WORK"
cp samples/demo.zpf "$WORK/"
cd "$WORK"
echo "=== r4t \"$WORK/demo.zpf\" /A"
set +e
"$BIN/r4t" "\"$WORK/demo.zpf\" /A"
rc=$?
set -e
echo "=== exit code $rc; listing zpxc.out:"
cat zpxc.out; echo
[ -f demo.zpx ] && { echo "=== demo.zpx:"; od -A d -t x1 demo.zpx | head -30; }
exit $rc
