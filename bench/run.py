#!/usr/bin/env python3
"""make bench: generates the inputs, runs every benchmark and its reference in one run,
prints a table and writes build/bench/results.json."""

import json
import warnings
import os
import statistics
import subprocess
import sys
import tempfile
import time

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
BIN = os.path.join(BUILD, "bin")
# The benchmarks build apart; their inputs and results go to build/bench/.
OUT = sys.argv[2] if len(sys.argv) > 2 else os.path.join(BUILD, "bench")
LQD = os.path.join(OUT, "full_pc56.lqd")
CSV = os.path.join(OUT, "full_pc56.csv")
RUNS = 7
ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen")


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, env=ENV, **kw)


def make_inputs():
    os.makedirs(OUT, exist_ok=True)
    run([os.path.join(BIN, "tesmora-demo"), "--full", LQD])
    run([os.path.join(BIN, "tesmora-convert"), "--force", "--output", CSV, LQD])


def google_benchmarks():
    """Medians of the C++ benchmarks, in ms."""
    out = run([os.path.join(BIN, "tesmora-bench"), "--inputs", OUT, "--benchmark_format=json",
               f"--benchmark_repetitions={RUNS}", "--benchmark_report_aggregates_only=true"],
              stdout=subprocess.PIPE).stdout
    medians = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            unit = {"ms": 1.0, "us": 1e-3, "ns": 1e-6, "s": 1e3}[b["time_unit"]]
            medians[b["run_name"].split("/")[0]] = b["real_time"] * unit
    return medians


PANDAS = r"""
import sys, time
import warnings
warnings.simplefilter("ignore")
import pandas as pd
path, action, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
times = []
table = pd.read_csv(path, skiprows=4)
for _ in range(runs + 1):
    t0 = time.perf_counter()
    if action == "read":
        pd.read_csv(path, skiprows=4)
    else:
        table.to_csv(sys.argv[4], index=False)
    times.append((time.perf_counter() - t0) * 1000)
times = sorted(times[1:])
print(times[len(times) // 2])
"""


def pandas(action):
    """pandas with its default C engine, timed inside its own process."""
    try:
        with tempfile.TemporaryDirectory() as tmp:
            out = run([sys.executable, "-c", PANDAS, CSV, action, str(RUNS), os.path.join(tmp, "out.csv")],
                      stdout=subprocess.PIPE).stdout
        return float(out.decode().strip())
    except (subprocess.CalledProcessError, ValueError):
        return None


def wall_times(cmd, runs=RUNS):
    times = []
    for _ in range(runs + 1):
        t0 = time.perf_counter()
        run(cmd, stdout=subprocess.DEVNULL)
        times.append((time.perf_counter() - t0) * 1000)
    return statistics.median(times[1:])


def first_paint():
    """tesmora FILE offscreen: process start to its first painted chart; the peak memory then."""
    times, rss = [], []
    for _ in range(RUNS + 1):
        t0 = time.perf_counter()
        p = subprocess.Popen([os.path.join(BIN, "tesmora"), "--report-first-paint", LQD], env=ENV,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        line = p.stdout.readline()
        times.append((time.perf_counter() - t0) * 1000)
        p.wait(timeout=60)
        rss.append(int(line.split("rss_kib=")[1]) / 1024)
    return statistics.median(times[1:]), max(rss)


def main():
    make_inputs()
    g = google_benchmarks()
    with tempfile.TemporaryDirectory() as tmp:
        convert = wall_times([os.path.join(BIN, "tesmora-convert"), "--force", "--output",
                              os.path.join(tmp, "out.csv"), LQD])
        summary = wall_times([os.path.join(BIN, "tesmora-convert"), "--format", "summary",
                              "--force", "--output", os.path.join(tmp, "summary.csv"), LQD])
    paint_ms, rss_mb = first_paint()
    results = [
        dict(name="load_lqd_full", ms=g["load_lqd_full"], target_ms=30,
             reference="the same reader with one system read call per read request",
             reference_ms=g["load_lqd_full_reference"]),
        dict(name="load_csv_full", ms=g["load_csv_full"], target_ms=150,
             reference="pandas.read_csv (C engine) in its own process", reference_ms=pandas("read")),
        dict(name="save_csv_full", ms=g["save_csv_full"], target_ms=300,
             reference="DataFrame.to_csv of the same table", reference_ms=pandas("write")),
        dict(name="convert_lqd_to_csv_full", ms=convert, target_ms=400),
        dict(name="average_11_full", ms=g["average_11_full"], target_ms=10,
             reference="the same average recomputing each window from scratch",
             reference_ms=g["average_11_full_reference"]),
        dict(name="paint_zoomed_out", ms=g["paint_zoomed_out"], target_ms=16,
             reference="every sample drawn segment by segment with the 2-pixel pen",
             reference_ms=g["paint_zoomed_out_reference"]),
        dict(name="paint_timescale_1", ms=g["paint_timescale_1"], target_ms=3),
        dict(name="wheel_step_zoomed_out", ms=g["wheel_step_zoomed_out"], target_ms=16),
        dict(name="wheel_step_timescale_1", ms=g["wheel_step_timescale_1"], target_ms=4),
        dict(name="measure_full_interval", ms=g["measure_full_interval"], target_ms=5),
        dict(name="marker_drag_update", ms=g["marker_drag_update"], target_ms=16),
        dict(name="analysis_full", ms=g["analysis_full"], target_ms=5),
        dict(name="summary_full", ms=summary, target_ms=60),
        dict(name="export_snirf_full", ms=g["export_snirf_full"], target_ms=300),
        dict(name="export_edf_full", ms=g["export_edf_full"], target_ms=300),
        dict(name="export_png_full", ms=g["export_png_full"], target_ms=50),
        dict(name="first_paint", ms=paint_ms, target_ms=500),
        dict(name="rss_full", mb=rss_mb, target_mb=150),
    ]
    for r in results:
        for key in ("ms", "reference_ms", "mb"):
            if r.get(key) is not None:
                r[key] = round(r[key], 2)
    with open(os.path.join(OUT, "results.json"), "w") as f:
        json.dump({"results": results}, f, indent=1)

    print(f"\n{'name':<26}{'measured':>12}{'target':>10}  reference")
    for r in results:
        unit = "MB" if "mb" in r else "ms"
        value = r.get("mb", r.get("ms"))
        target = r.get("target_mb", r.get("target_ms"))
        ref = f"{r['reference_ms']:.1f} ms: {r['reference']}" if r.get("reference_ms") is not None else ""
        flag = "" if value <= target else "  (over target)"
        print(f"{r['name']:<26}{value:>9.1f} {unit}{target:>7} {unit}  {ref}{flag}")
    print(f"\nwritten {os.path.join(OUT, 'results.json')}")


if __name__ == "__main__":
    main()
