#!/usr/bin/python3
"""Pairs each plain scan's time with the grid's from one Google Benchmark JSON run.

Usage: ratios.py BENCH.json

Prints a Markdown table: per timed part and track, the median times and plain/grid, against
the targets the grids were built to meet.
"""
import json
import sys

TRACKS = {"0": "Default.tck", "1": "Flat.tck", "2": "Hills.tck",
          "100": "100 waypoints", "1000": "1,000 waypoints", "10000": "10,000 waypoints"}
TARGETS = {("EarClipping", "1000"): 4, ("EarClipping", "10000"): 25,
           ("CrossingRule", "1000"): 10, ("CrossingRule", "10000"): 50,
           ("FindTriangle", "1000"): 10, ("FindTriangle", "10000"): 50}
UNITS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def main():
    with open(sys.argv[1]) as source:
        runs = json.load(source)["benchmarks"]
    times = {}
    for run in runs:
        name = run["run_name"] if "run_name" in run else run["name"]
        if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
            continue
        if name.count("/") < 2:  # a timing without a plain and a grid kind, such as the simulation step
            continue
        part, kind, track = name.split("/")[:3]
        times[(part, kind, track)] = run["real_time"] * UNITS[run["time_unit"]]
    print("| part | track | plain ms | grid ms | plain/grid | target |")
    print("|---|---|---:|---:|---:|---|")
    for (part, kind, track), plain in sorted(times.items(), key=lambda k: (k[0][0], int(k[0][2]))):
        if kind != "plain" or (part, "grid", track) not in times:
            continue
        grid = times[(part, "grid", track)]
        target = TARGETS.get((part, track))
        verdict = "" if target is None else f"{target}+ {'met' if plain / grid >= target else 'MISSED'}"
        print(f"| {part} | {TRACKS.get(track, track)} | {plain:.3f} | {grid:.3f} | {plain / grid:.1f} | {verdict} |")


if __name__ == "__main__":
    main()
