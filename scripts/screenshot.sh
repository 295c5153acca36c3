#!/usr/bin/env bash
# Takes a screenshot of r4t's main window in a virtual X server:
# build/screenshots/r4t-main.png. Builds the default preset first if r4t is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=${BIN:-$PWD/build/default/bin}
if [ ! -x "$BIN/r4t" ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target r4t
fi
OUT=$PWD/build/screenshots
mkdir -p "$OUT"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
xvfb-run -a -s "-screen 0 480x300x24" bash -c "
  unset QT_QPA_PLATFORM
  '$BIN/r4t' keys.zpf & pid=\$!
  sleep 3
  import -window root '$OUT/r4t-main.png'
  kill \$pid"
echo "$OUT/r4t-main.png"
