#!/usr/bin/python3
"""The curve spline beside SciPy's not-a-knot CubicSpline on the same curve and points.

Runs, alternately and for several rounds, bench_spline's build-and-evaluate benchmark and
CubicSpline(x, y, bc_type='not-a-knot')(t) on the damper-like curve of bench_spline, then prints
the medians of CPU time per call and the ratio SciPy / ours for each size.

    bench/spline_vs_scipy.py BUILD/bin/bench_spline [rounds]

Needs python3-numpy and python3-scipy (Debian packages).
"""
import json
import statistics
import subprocess
import sys
import time

import numpy as np
from scipy.interpolate import CubicSpline

SIZES = [(50, 5000), (500, 5000), (5000, 5000), (50000, 5000)]


def curve(n):
    x = 5.0 * np.arange(n) / (n - 1)
    return x, 4000.0 * np.sqrt(x) + 300.0 * x


def scipy_us(knots, points):
    """CPU microseconds per build and evaluation, the median of short batches."""
    x, y = curve(knots)
    t = 5.0 * np.arange(points) / (points - 1)
    CubicSpline(x, y, bc_type="not-a-knot")(t)
    batch = max(1, int(20000 // knots) + 5)
    times = []
    for _ in range(7):
        start = time.process_time()
        for _ in range(batch):
            CubicSpline(x, y, bc_type="not-a-knot")(t)
        times.append((time.process_time() - start) / batch * 1e6)
    return statistics.median(times)


def ours_us(binary):
    """CPU microseconds per call of ours and of the minimal solver, by size."""
    out = subprocess.run(
        [binary, "--benchmark_filter=BuildAndEvaluate", "--benchmark_format=json",
         "--benchmark_min_time=0.2"],
        check=True, capture_output=True, text=True).stdout
    result = {}
    for b in json.loads(out)["benchmarks"]:
        name, knots, points = b["name"].split("/")[:3]
        result[(name, int(knots), int(points))] = b["cpu_time"]
    return result


def main():
    binary = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    ours, minimal, scipy = {}, {}, {}
    for _ in range(rounds):
        r = ours_us(binary)
        for size in SIZES:
            ours.setdefault(size, []).append(r[("BM_SplineBuildAndEvaluate",) + size])
            minimal.setdefault(size, []).append(r[("BM_MinimalSplineBuildAndEvaluate",) + size])
            scipy.setdefault(size, []).append(scipy_us(*size))
    print(f"medians of {rounds} alternating rounds, CPU time per build + evaluation")
    print(f"{'knots x points':>16} {'ours us':>9} {'minimal us':>11} {'SciPy us':>9}"
          f" {'ours/minimal':>13} {'SciPy/ours':>11}")
    for size in SIZES:
        o, m, s = (statistics.median(v[size]) for v in (ours, minimal, scipy))
        print(f"{size[0]:>8} x {size[1]:<5} {o:9.1f} {m:11.1f} {s:9.1f} {o / m:13.2f} {s / o:11.2f}")


if __name__ == "__main__":
    main()
