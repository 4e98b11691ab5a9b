#!/usr/bin/python3
"""Times the game's ear clipping against the earcut library on the same ground polygons.

Usage: earcut_compare.py GROUND_POLYGONS_TOOL [WAYPOINTS] [REPEATS]

The tool writes the two ground polygons of the generated track of WAYPOINTS waypoints (10000 by
default) and prints the median time of the game's clipping of both; earcut (Debian's
python3-mapbox-earcut) then cuts the same points, timed the same way, here in one run.
"""
import statistics
import subprocess
import sys
import tempfile
import time

import mapbox_earcut
import numpy


def read_polygons(path):
    polygons = []
    with open(path) as text:
        lines = text.read().split("\n")
    k = 0
    while k < len(lines) and lines[k]:
        count = int(lines[k])
        points = [[float(v) for v in line.split()] for line in lines[k + 1:k + 1 + count]]
        polygons.append(numpy.array(points, dtype=numpy.float64))
        k += count + 1
    return polygons


def main():
    tool = sys.argv[1]
    waypoints = sys.argv[2] if len(sys.argv) > 2 else "10000"
    repeats = int(sys.argv[3]) if len(sys.argv) > 3 else 11
    with tempfile.TemporaryDirectory() as folder:
        path = folder + "/polygons.txt"
        game = float(subprocess.run([tool, waypoints, path, str(repeats)], check=True,
                                    capture_output=True, text=True).stdout)
        polygons = read_polygons(path)
    rings = [numpy.array([len(p)], dtype=numpy.uint32) for p in polygons]
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        for polygon, ring in zip(polygons, rings):
            mapbox_earcut.triangulate_float64(polygon, ring)
        times.append((time.perf_counter() - start) * 1000)
    earcut = statistics.median(times)
    sizes = " + ".join(str(len(p)) for p in polygons)
    print(f"ground polygons of {waypoints} waypoints ({sizes} points), median of {repeats}:")
    print(f"  game ear clipping {game:.1f} ms, earcut {earcut:.1f} ms, game/earcut {game / earcut:.2f} (target at most 2)")


if __name__ == "__main__":
    main()
