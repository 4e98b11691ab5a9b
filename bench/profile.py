#!/usr/bin/env python3
"""Draws a route's height profile as recorded, as smoothed and as the import writes it, as an SVG:
what import does to a route's hills. Plain Python, no plotting library.

Usage: bench/profile.py ZARVANTO_TRACK ROUTE.gpx OUTPUT.svg
"""
import math
import re
import subprocess
import sys
import tempfile

W, H, PAD = 760, 300, 48


def track_heights(tool, route, *options):
    with tempfile.NamedTemporaryFile(suffix=".tck") as out:
        report = subprocess.run([tool, "import", route, "-o", out.name, *options], check=True,
                                capture_output=True, text=True).stdout
        lines = open(out.name).read().split("\n")[2:]
    points = [tuple(map(float, line.split())) for line in lines if line.strip()]
    return points, report


def along(points):
    s = [0.0]
    for a, b in zip(points, points[1:]):
        s.append(s[-1] + math.hypot(b[0] - a[0], b[1] - a[1]))
    return s


def recorded(route, reversed_):
    text = open(route).read()
    pts = [(float(lat), float(lon), float(ele)) for lat, lon, ele in
           re.findall(r'lat="([-.0-9]+)" lon="([-.0-9]+)"><ele>([-.0-9]+)</ele>', text)]
    if reversed_:
        pts = pts[:1] + pts[:0:-1]
    lat0 = math.radians(pts[0][0])
    plane = [(math.radians(lon) * 6371008.8 * math.cos(lat0), math.radians(lat) * 6371008.8) for lat, lon, _ in pts]
    return along(plane), [e for _, _, e in pts]


def polyline(xs, ys, sx, sy, colour, width):
    path = " ".join("%.1f,%.1f" % (sx(x), sy(y)) for x, y in zip(xs, ys))
    return '<polyline fill="none" stroke="%s" stroke-width="%s" points="%s"/>' % (colour, width, path)


def main():
    tool, route, output = sys.argv[1:4]
    smoothed, report = track_heights(tool, route, "--keep-heights")
    written, solved = track_heights(tool, route)
    rs, re_ = recorded(route, "reversed" in report)
    s = along(smoothed)
    low = min(re_)
    rs = [x * s[-1] / rs[-1] for x in rs]
    series = [(rs, [e - low for e in re_], "#bbbbbb", 1, "as recorded"),
              (s, [p[2] for p in smoothed], "#3070c0", 2, "as smoothed"),
              (s, [p[2] for p in written], "#d04020", 2, "as written")]
    top = max(max(ys) for _, ys, *_ in series)
    bottom = min(min(ys) for _, ys, *_ in series)
    sx = lambda x: PAD + (W - 2 * PAD) * x / s[-1]
    sy = lambda y: H - PAD - (H - 2 * PAD) * (y - bottom) / (top - bottom)
    title = re.search(r'made "([^"]+)"', report).group(1)
    kept = re.search(r"keeping ([.0-9]+) of their swing of ([.0-9]+)", solved)
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" '
             'font-size="12"><rect width="100%%" height="100%%" fill="white"/>' % (W, H),
             '<text x="%d" y="20" font-size="14">%s: heights along the lap (m), %s of %s m of swing kept</text>'
             % (PAD, title, kept.group(1), kept.group(2))]
    for k in range(0, int(s[-1] / 1000) + 1):
        parts.append('<text x="%.1f" y="%d" text-anchor="middle">%d km</text>' % (sx(k * 1000), H - PAD + 18, k))
    for y in range(int(math.floor(bottom / 20)) * 20, int(top) + 1, 20):
        parts.append('<line x1="%d" x2="%d" y1="%.1f" y2="%.1f" stroke="#eeeeee"/>' % (PAD, W - PAD, sy(y), sy(y)))
        parts.append('<text x="%d" y="%.1f" text-anchor="end">%d</text>' % (PAD - 6, sy(y) + 4, y))
    for i, (xs, ys, colour, width, label) in enumerate(series):
        parts.append(polyline(xs, ys, sx, sy, colour, width))
        parts.append('<text x="%d" y="%d" fill="%s">%s</text>' % (W - PAD - 240 + 85 * i, 40, colour, label))
    parts.append("</svg>")
    open(output, "w").write("\n".join(parts) + "\n")


if __name__ == "__main__":
    main()
