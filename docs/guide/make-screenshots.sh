#!/usr/bin/env bash
# Remakes the user guide's pictures headless with the script driver, in a scratch copy of the
# start folder: docs/guide/make-screenshots.sh [BUILD_DIR]   (default: build)
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$here/build}"
out="$here/docs/guide"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp -r "$build/bin/." "$scratch/"
cd "$scratch"
QT_QPA_PLATFORM=offscreen ./quorin-script <<SCRIPT | grep -v '^{"ok": true}$' || true
start
# Two set-ups: the start-up selections, then a firmer compression valve with fewer LSC clicks.
press PLOT
set CompressionValve Value 6
set LSC Value 11
press PLOT
snapshot 1 $out/setup.png
snapshot 2 $out/two-setups.png
# Metric units with limits of 0 to 0.25 m/s and -1500 to 1000 N.
press SIUnits
set xmax String "0.25"
set ymin String "-1500"
set ymax String "1000"
press Rescale
snapshot 2 $out/metric-limits.png
# Curve 1 updated with 14 rebound clicks, then the third-valve curve of the last two.
press USUnits
set xmax String "10"
set ymin String "-500"
set ymax String "500"
press Rescale
set LSR Value 15
set curveselect String "1"
press UPDATE #
press Add 3rd
snapshot 2 $out/update-add3rd.png
# A measured text curve over the damper curves; then, on a cleared plot, a shock-dyno file.
set clearall Value 1
press CLEAR
press PLOT
dialog open $out/ sample-curve.txt
press IMPORT
snapshot 2 $out/import.png
press CLEAR
press PLOT
dialog open $here/tests/fixtures/ dyno_175.pvp
press ROEHRIG
snapshot 2 $out/dyno.png
SCRIPT
echo "pictures written to $out"
