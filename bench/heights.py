#!/usr/bin/env python3
"""Times the import's heights on routes and prints, per route, what became of its hills as a
Markdown table: the swing as smoothed and as written, the climb against the smoothed climb, the
largest change and the wall-clock time of the whole import.

Usage: bench/heights.py ZARVANTO_TRACK ROUTE...
"""
import os
import re
import subprocess
import sys
import tempfile
import time


def main():
    tool, routes = sys.argv[1], sys.argv[2:]
    print("| route | waypoints | swing as smoothed | swing kept | climb ratio | largest change | time |")
    print("|---|---|---|---|---|---|---|")
    for route in routes:
        with tempfile.TemporaryDirectory() as folder:
            start = time.monotonic()
            report = subprocess.run([tool, "import", route, "-o", os.path.join(folder, "t.tck")],
                                    capture_output=True, text=True).stdout
            seconds = time.monotonic() - start
        name = os.path.basename(route).rsplit(".", 1)[0]
        made = re.search(r"made \"[^\"]*\": (\d+) waypoints", report)
        solved = re.search(r"keeping ([.0-9]+) of their swing of ([.0-9]+) \((\d+) %\), climbing ([.0-9]+) a lap "
                           r"against ([.0-9]+); changed by up to ([.0-9]+)", report)
        if not made or not solved:
            print("| %s | %s | %s |  |  |  | %.1f s |" % (name, made.group(1) if made else "-",
                                                        "flat" if "made flat" in report else "refused", seconds))
            continue
        kept, smoothed, share, climb, climbed, change = solved.groups()
        print("| %s | %s | %s m | %s m (%s %%) | %.2f | %s m | %.1f s |" % (
            name, made.group(1), smoothed, kept, share, float(climb) / float(climbed), change, seconds))


if __name__ == "__main__":
    main()
