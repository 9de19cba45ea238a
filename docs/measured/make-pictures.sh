#!/usr/bin/env bash
# Remakes the pictures of docs/measured-data.md headless with the script driver, in a scratch
# copy of the start folder: docs/measured/make-pictures.sh [BUILD_DIR]   (default: build)
# A dyno run is made from one synthesised set-up (LSC 8, HSC 12, LSR 6, HSR 25): a sine drive
# of 25 mm at ten speeds through its curve, with 150 N of gas force, 40 N of seal friction and
# 2 % noise on every force sample; a logger file of four corners is made up too. Then the run
# is read, the whole set-up fitted to it from the start-up set-up, and the logger file read.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$here/build}"
out="$here/docs/measured"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp -r "$build/bin/." "$scratch/"
cd "$scratch"
export QT_QPA_PLATFORM=offscreen

# 1. The set-up's drawn points (in/s and lbs) from Copy curves.
./quorin-script <<SCRIPT | grep '^{"value"' > points.json
start
set LSC Value 9
set HSC Value 13
set LSR Value 7
set HSR Value 26
press PLOT
menu 2 Copy curves
clipboard
SCRIPT

# 2. The dyno run and the logger file.
python3 - <<'PY'
import json, math, random
rows = json.load(open("points.json"))["value"].splitlines()[1:]
side = {"compression": [], "rebound": []}
for r in rows:
    c = r.split("\t")
    side[c[2]].append((float(c[3]) / 39.37007874015748, abs(float(c[4])) * 4.45374))
for s in side.values(): s.sort()
def read(points, v):
    points = [p for p in points if p[0] > 0] or [(1, 0)]
    if v <= points[0][0]: return points[0][1] * v / points[0][0]
    for (v0, f0), (v1, f1) in zip(points, points[1:]):
        if v <= v1: return f0 + (f1 - f0) * (v - v0) / (v1 - v0)
    return points[-1][1]
def damper(v):
    return read(side["compression"], v) if v >= 0 else -read(side["rebound"], -v)
top = 0.9 * min(side["compression"][-1][0], side["rebound"][-1][0])
rnd = random.Random(7)
out = ["Run;Time (s);Displacement [mm];Force (N);Temp (\u00b0C)"]
for run in range(10):
    peak = top * (0.05 + 0.95 * run / 9)
    hz = peak / (2 * math.pi * 0.025)
    for k in range(int(3 * 1000 / hz) + 1):
        t = k / 1000; w = 2 * math.pi * hz
        x = -0.025 * math.cos(w * t); v = 0.025 * w * math.sin(w * t)
        f = damper(v) + 150 + (40 if v > 0 else -40 if v < 0 else 0)
        f += 0.02 * abs(f) * rnd.gauss(0, 1)
        line = f"{run + 1};{t:.4f};{x * 1000:.4f};{f:.2f};{30 + 2 * run + t / 10:.2f}"
        out.append(line.replace(".", ","))
open("rig.csv", "w", encoding="utf-8").write("\n".join(out) + "\n")
log = ["Time (s)\tDamper FL (mm)\tDamper FR (mm)\tDamper RL (mm)\tDamper RR (mm)"]
for k in range(30000):
    t = k / 500
    log.append("\t".join([f"{t:.3f}"] + [f"{(8 + 3 * c) * math.sin(1.3 * t + c) + 2.5 * math.sin(9 * t + 2 * c) + 0.6 * math.sin(31 * t + c):.3f}" for c in range(4)]))
open("log.txt", "w").write("\n".join(log) + "\n")
PY

# 3. The pictures: the run read over the stored set-up, the whole set-up fitted from the
# start-up set-up, the logger file's bands.
./quorin-script <<SCRIPT
start
set LSC Value 9
set HSC Value 13
set LSR Value 7
set HSR Value 26
press PLOT
measured run $scratch/rig.csv
snapshot 5 $out/dyno-run.png
window 1
set LSC Value 1
set HSC Value 1
set LSR Value 1
set HSR Value 1
measured fit
snapshot 6 $out/whole-setup.png
measured track $scratch/log.txt
snapshot 2 $out/comparison.png
snapshot 7 $out/track.png
SCRIPT
