#!/usr/bin/python3
"""Tables of the frame side from Google Benchmark JSON runs of zarvanto_frame_bench and zarvanto_bench.

Usage: frame_table.py JSON...

Prints Markdown tables of the medians: the whole game frame against the empty clear-and-swap
frame and against a frame that fills the window with one flat quad, measured side by side, frame
for frame (with the targets on the game frame's ratio to the filled one), the track (solid and wireframe) drawn culled against
drawn whole, and the simulation step.
"""
import json
import sys

TRACKS = {"0": "Default.tck", "1": "Flat.tck", "2": "Hills.tck",
          "1000": "1,000 waypoints", "10000": "10,000 waypoints"}
# game frame / filled frame at most this: the frame should cost little more than painting the window
FRAME_TARGETS = {"0": 1.3, "1": 1.3, "2": 1.3, "1000": 1.5, "10000": 1.5}
UNITS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def medians(paths):
    times, counters = {}, {}
    for path in paths:
        with open(path) as source:
            for run in json.load(source)["benchmarks"]:
                if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
                    continue
                name = run.get("run_name", run["name"]).replace("/manual_time", "")
                times[name] = run["real_time"] * UNITS[run["time_unit"]]
                if "drawn" in run:
                    counters[name] = (run["empty_ms"], run["filled_ms"], run["drawn"], run["triangles"])
    return times, counters


def order(name):
    return int(name.rsplit("/", 1)[1])


def main():
    times, counters = medians(sys.argv[1:])
    frames = sorted((n for n in times if n.startswith("GameFrame/")), key=order)
    if frames:
        print("| track | empty frame ms | filled frame ms | game frame ms | game/empty | game/filled | triangles drawn | target |")
        print("|---|---:|---:|---:|---:|---:|---:|---|")
        for name in frames:
            track = name.rsplit("/", 1)[1]
            game = times[name]
            empty, filled, drawn, total = counters[name]
            target = FRAME_TARGETS.get(track)
            verdict = "" if target is None else f"at most {target}: {'met' if game / filled <= target else 'MISSED'}"
            print(f"| {TRACKS[track]} | {empty:.3f} | {filled:.3f} | {game:.3f} | {game / empty:.1f} | {game / filled:.2f} "
                  f"| {drawn:.0f} of {total:.0f} | {verdict} |")
        print()
    for kind, whole in (("", "every triangle"), ("_wireframe", "whole grid")):
        draws = sorted((n for n in times if n.startswith(f"TrackDraw/culled{kind}/")), key=order)
        if not draws:
            continue
        print(f"| track | {whole} ms | culled ms | whole/culled |")
        print("|---|---:|---:|---:|")
        for name in draws:
            track = name.rsplit("/", 1)[1]
            plain, culled = times[f"TrackDraw/plain{kind}/" + track], times[name]
            print(f"| {TRACKS[track]} | {plain:.3f} | {culled:.3f} | {plain / culled:.1f} |")
        print()
    steps = sorted((n for n in times if n.startswith("SimulationStep/")), key=order)
    if steps:
        print("| track | simulation step us (8 cars and the camera) |")
        print("|---|---:|")
        for name in steps:
            print(f"| {TRACKS[name.rsplit('/', 1)[1]]} | {times[name] * 1000:.2f} |")


if __name__ == "__main__":
    main()
