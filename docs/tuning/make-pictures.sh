#!/usr/bin/env bash
# Remakes the pictures of docs/tuning.md headless with the script driver, in a scratch copy of
# the start folder: docs/tuning/make-pictures.sh [BUILD_DIR]   (default: build)
# A dyno file is made from one synthesised set-up (LSC 7, HSC 11, LSR 5, HSR 24) with every
# force scaled by a factor drawn evenly from 0.98 to 1.02, then searched for from the
# start-up set-up.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$here/build}"
out="$here/docs/tuning"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp -r "$build/bin/." "$scratch/"
cd "$scratch"
export QT_QPA_PLATFORM=offscreen

# 1. The measured curve: the set-up's drawn points (in/s and lbs) from Copy curves.
./quorin-script <<SCRIPT | grep '^{"value"' > points.json
start
set LSC Value 8
set HSC Value 12
set LSR Value 6
set HSR Value 25
press PLOT
menu 2 Copy curves
clipboard
SCRIPT

# 2. Written as a dyno file (version 1, one page; Velocity in ips, Force in pounds): the
# compression points at positive velocity, the rebound points at negative velocity, ending
# at rest so the drawn curve keeps its forces.
python3 - <<'PY'
import json, random, struct
rows = json.load(open("points.json"))["value"].splitlines()[1:]
rnd = random.Random(14)
vel, force = [], []
for side in ("compression", "rebound"):
    for r in rows:
        c = r.split("\t")
        if c[2] == side:
            v, f = float(c[3]), float(c[4])
            vel.append(v if side == "compression" else -v)
            force.append(f * rnd.uniform(0.98, 1.02))
vel.append(0.0); force.append(0.0)
b = bytearray()
i16 = lambda v: b.extend(struct.pack("<hh", 2, v))
f32 = lambda v: b.extend(struct.pack("<hf", 4, v))
for v in (0, 1, 0, 0, 0, 0, 0): i16(v)            # header, version 1, no properties
f32(4.5); i16(9); i16(20); i16(13); f32(2); i16(1); f32(10); i16(5)
i16(0)                                            # one page
f32(0.5); i16(19); i16(30); i16(10); i16(10); i16(5)
i16(1)                                            # two channels
for name, unit, data in (("Velocity", 5, vel), ("Force", 9, force)):
    b.extend(struct.pack("<hh", 8, len(name))); b.extend(name.encode())
    i16(0); i16(unit)
    b.extend(struct.pack("<hhIi", 4, 0, len(data), 0))
    b.extend(struct.pack("<%df" % len(data), *data))
open("measured.pvp", "wb").write(bytes(b))
PY

# 3. The analyses from the start-up set-up.
./quorin-script <<SCRIPT | grep -v '^{"ok": true}$' || true
start
set holdroehrig Value 1
dialog open $scratch/ measured.pvp
press ROEHRIG
menu 2 Closest set-up to the dyno curve
snapshot 5 $out/closest.png
window 1
press PLOT
window 5
press UseBest
window 1
press PLOT
menu 2 Error against the dyno curve
snapshot 6 $out/dyno-error.png
dialog input ["LSC", "", ""]
menu 2 Clicker sweep
snapshot 7 $out/sweep.png
dialog input ["250", "30", "Show"]
menu 2 Damping guides
snapshot 2 $out/guides.png
dialog input ["250", "30"]
menu 2 Damping ratio
snapshot 8 $out/ratio.png
SCRIPT
