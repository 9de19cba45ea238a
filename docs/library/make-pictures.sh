#!/usr/bin/env bash
# Remakes the pictures of docs/library.md headless with the script driver, in a scratch copy of
# the start folder: docs/library/make-pictures.sh [BUILD_DIR]   (default: build)
# Six set-ups of two cars at three events are saved, the library window is opened and two
# set-ups are compared against the previous set-up of their corner.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$here/build}"
out="$here/docs/library"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp -r "$build/bin/." "$scratch/"
rm -f "$scratch/library.sqlite"*
cd "$scratch"
export QT_QPA_PLATFORM=offscreen

./quorin-script <<SCRIPT | grep -v '^{"ok": true}$' | grep -v '^{"value":[0-9]*}$' || true
start
library save {"car":"GT3 #7","corner":"LF","track":"Spa","date":"2026-05-01","session":"FP1","notes":"baseline, understeer at Pouhon"}
set LSC Value 6
library save {"car":"GT3 #7","corner":"LF","track":"Spa","date":"2026-05-02","session":"Q","notes":"one click softer LSC, better turn-in"}
set HSC Value 14
set motionratio String "0.62"
library save {"car":"GT3 #7","corner":"LF","track":"Spa","date":"2026-05-03","session":"R","notes":"kerbs: more HSC, new rocker"}
library save {"car":"GT3 #7","corner":"RR","track":"Monza","date":"2026-06-14","session":"FP2","notes":"rear stable under braking"}
set CompressionValve Value 3
library save {"car":"GT4 #21","corner":"RF","track":"Monza","date":"2026-06-14","session":"FP1","notes":"softer valve for the chicanes"}
library save {"car":"GT4 #21","corner":"LR","track":"Imola","date":"2026-07-05","session":"Q","notes":"wet running"}
menu 1 Library
snapshot 5 $out/library.png
library compare {"ids":[2,3],"reference":"previous"}
snapshot 6 $out/compare.png
SCRIPT
