#!/usr/bin/python3
"""Times the track tool's check, which loads, checks and meshes a track as the game does, on
tracks of long straights against a circle of as many waypoints.

Usage: shapes.py TRACK_TOOL SHAPE_WRITER RUNS [WAYPOINTS...]

TRACK_TOOL is zarvanto-track, SHAPE_WRITER zarvanto_shape_track, which writes the tracks (into
/tmp). Each check runs RUNS times, the shapes taking turns so all see the same load; prints a
Markdown table of the median wall-clock time and the largest peak resident memory (GNU time's
the kernel's maximum resident set size of the process) of each, and their ratios to the circle's, against the target of at
most 2 for both. WAYPOINTS defaults to 16000 64000. The three shapes turned by half a radian
are timed too, for the record: written with two decimals, their straights are not quite
straight.
"""
import os
import statistics
import subprocess
import sys
import time

SHAPES = [("circle", "0"), ("square", "0"), ("thin", "0"), ("comb", "0"), ("square", "0.5"), ("thin", "0.5"),
          ("comb", "0.5")]
NAMES = {"circle": "circle", "square": "square", "thin": "thin rectangle (100:1)", "comb": "comb of 8 fingers"}
TARGET = 2.0


def check_once(tool, path):
    """Wall-clock seconds and peak resident KiB of one check."""
    began = time.monotonic()
    process = subprocess.Popen([tool, "check", path], stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.monotonic() - began
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit("%s check %s failed" % (tool, path))
    return seconds, usage.ru_maxrss


def main():
    tool, writer, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
    sizes = [int(a) for a in sys.argv[4:]] or [16000, 64000]
    print("| waypoints | shape | check ms (median of %d) | peak MiB | time / circle | memory / circle |" % runs)
    print("|---:|---|---:|---:|---:|---:|")
    verdicts = []
    for count in sizes:
        paths = []
        for shape, turn in SHAPES:
            path = "/tmp/zarvanto-shape-%s-%s-%d.tck" % (shape, turn, count)
            with open(path, "wb") as target:
                subprocess.run([writer, shape, str(count), turn], stdout=target, check=True)
            paths.append(path)
        times = [[] for _ in SHAPES]
        peaks = [0 for _ in SHAPES]
        for _ in range(runs):
            for k, path in enumerate(paths):
                seconds, kib = check_once(tool, path)
                times[k].append(seconds)
                peaks[k] = max(peaks[k], kib)
        circle_time, circle_peak = statistics.median(times[0]), peaks[0]
        for k, (shape, turn) in enumerate(SHAPES):
            median = statistics.median(times[k])
            name = NAMES[shape] + (", turned" if turn != "0" else "")
            print("| %d | %s | %.0f | %.0f | %.2f | %.2f |" % (count, name, median * 1000, peaks[k] / 1024,
                                                            median / circle_time, peaks[k] / circle_peak))
            if k > 0 and turn == "0":
                verdicts.append(median / circle_time <= TARGET and peaks[k] / circle_peak <= TARGET)
        for path in paths:
            os.remove(path)
    print("\nStraights against the circle, at most %g times its time and memory: %s"
          % (TARGET, "met" if all(verdicts) else "MISSED"))


if __name__ == "__main__":
    main()
