#!/usr/bin/env python3
"""Made-up routes shaped like real ones, as GPX at real places: circuits of straights and tight
corners with their hills, and rides round town blocks and country lanes, some stopping short of
their start as recordings do. Deterministic: the same files on every run.

Usage: bench/routes.py OUTPUT_DIR [--large]   (--large adds the benchmark's bigger circuits)
The import tests read the ones it makes without --large from tests/routes/.
"""
import math
import os
import random
import sys

EARTH = 6371008.8  # metres, mean radius: near enough for laying made-up shapes on the map


def corners_path(corners, step):
    """Points every `step` metres round a closed polygon of (east, north, radius) corners, each
    corner rounded with its radius."""
    n = len(corners)
    pieces = []  # per corner: (entry point, exit point, centre, radius, start angle, sweep)
    for i in range(n):
        (px, py, _), (cx, cy, r), (nx, ny, _) = corners[i - 1], corners[i], corners[(i + 1) % n]
        ax, ay = px - cx, py - cy
        bx, by = nx - cx, ny - cy
        la, lb = math.hypot(ax, ay), math.hypot(bx, by)
        ax, ay, bx, by = ax / la, ay / la, bx / lb, by / lb
        half = math.acos(max(-1.0, min(1.0, ax * bx + ay * by))) / 2
        d = min(r / math.tan(half), 0.45 * la, 0.45 * lb)
        r = d * math.tan(half)
        entry = (cx + ax * d, cy + ay * d)
        leave = (cx + bx * d, cy + by * d)
        mx, my = ax + bx, ay + by
        ml = math.hypot(mx, my)
        centre = (cx + mx / ml * r / math.sin(half), cy + my / ml * r / math.sin(half))
        a0 = math.atan2(entry[1] - centre[1], entry[0] - centre[0])
        a1 = math.atan2(leave[1] - centre[1], leave[0] - centre[0])
        sweep = (a1 - a0 + math.pi) % (2 * math.pi) - math.pi
        pieces.append((entry, leave, centre, r, a0, sweep))
    points = []
    for i in range(n):
        entry, leave, centre, r, a0, sweep = pieces[i]
        arc = abs(sweep) * r
        k = max(1, int(arc / step))
        for j in range(k):
            a = a0 + sweep * j / k
            points.append((centre[0] + r * math.cos(a), centre[1] + r * math.sin(a)))
        nxt = pieces[(i + 1) % n][0]
        length = math.hypot(nxt[0] - leave[0], nxt[1] - leave[1])
        k = max(1, int(length / step))
        for j in range(k):
            t = j / k
            points.append((leave[0] + t * (nxt[0] - leave[0]), leave[1] + t * (nxt[1] - leave[1])))
    return points


def along(points):
    s = [0.0]
    for a, b in zip(points, points[1:]):
        s.append(s[-1] + math.hypot(b[0] - a[0], b[1] - a[1]))
    return s, s[-1] + math.hypot(points[0][0] - points[-1][0], points[0][1] - points[-1][1])


def wave_heights(points, swing, rng, waves=4):
    s, length = along(points)
    phases = [rng.uniform(0, 2 * math.pi) for _ in range(waves)]
    amps = [rng.uniform(0.4, 1.0) / (k + 1) for k in range(waves)]
    raw = [sum(a * math.sin(2 * math.pi * (k + 1) * x / length + p) for k, (a, p) in enumerate(zip(amps, phases)))
           for x in s]
    low, high = min(raw), max(raw)
    return [swing * (h - low) / (high - low) for h in raw]


def knot_heights(points, knots):
    """Heights along the loop through (fraction of the way round, metres) knots, eased between."""
    s, length = along(points)
    knots = knots + [(1.0, knots[0][1])]
    out = []
    for x in s:
        f = x / length
        for (f0, h0), (f1, h1) in zip(knots, knots[1:]):
            if f0 <= f <= f1:
                t = (f - f0) / (f1 - f0)
                out.append(h0 + (h1 - h0) * (1 - math.cos(math.pi * t)) / 2)
                break
    return out


def scaled(corners, length, step):
    """The corners stretched so the path round them is about `length` metres."""
    base = along(corners_path(corners, step))[1]
    k = length / base
    return [(x * k, y * k, r) for x, y, r in corners]


def wander(points, rng, sway, jitter):
    """The points moved sideways as a recording strays from the road's line: a slow sway of up to
    `sway` metres and a jitter of `jitter` metres from point to point."""
    s, length = along(points)
    waves = [(rng.uniform(0.2, 1.0), rng.randint(20, 80), rng.uniform(0, 2 * math.pi)) for _ in range(3)]
    out = []
    for i, (x, y) in enumerate(points):
        a, b = points[i - 1], points[(i + 1) % len(points)]
        dx, dy = b[0] - a[0], b[1] - a[1]
        d = math.hypot(dx, dy) or 1.0
        off = sway * sum(w * math.sin(2 * math.pi * k * s[i] / length + p) for w, k, p in waves) / 2
        off += rng.gauss(0, jitter)
        out.append((x - dy / d * off, y + dx / d * off))
    return out


def gpx(name, lat0, lon0, points, heights, rng, noise=0.8):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<gpx version="1.1" creator="zarvanto bench"><trk><name>%s</name><trkseg>' % name]
    for (x, y), h in zip(points, heights):
        lat = lat0 + math.degrees(y / EARTH)
        lon = lon0 + math.degrees(x / (EARTH * math.cos(math.radians(lat0))))
        lines.append('<trkpt lat="%.7f" lon="%.7f"><ele>%.1f</ele></trkpt>' % (lat, lon, h + rng.gauss(0, noise)))
    lines.append('</trkseg></trk></gpx>')
    return "\n".join(lines) + "\n"


def circuit(name, lat, lon, corners, length, swing, seed, step=12.0, knots=None, sway=0.5, jitter=0.1):
    rng = random.Random(seed)
    points = wander(corners_path(scaled(corners, length, step), step), rng, sway, jitter)
    heights = knot_heights(points, knots) if knots else wave_heights(points, swing, rng)
    return name, gpx(name, lat, lon, points, heights, rng)


def town_ride(name, lat, lon, blocks, block, swing, seed, short=0.0, step=8.0):
    """A ride round a zig-zag of town blocks: straights and right-angle corners of 12 m."""
    rng = random.Random(seed)
    corners = []
    x = 0.0
    for i in range(blocks):  # a staircase out along the north side, straight back along the south
        corners += [(x, 2 * block if i % 2 == 0 else 3 * block, 12.0), (x + block, 2 * block if i % 2 == 0 else 3 * block, 12.0)]
        x += block
    corners += [(x, 0.0, 15.0), (0.0, -0.3 * block, 15.0)]
    points = corners_path(corners, step)
    heights = wave_heights(points, swing, rng, waves=3)
    cut = 0
    if short > 0:
        s, _ = along(points)
        while s[-1 - cut] > s[-1] - short + step * 0.5:
            cut += 1
    if cut:
        points, heights = points[:-cut], heights[:-cut]
    return name, gpx(name, lat, lon, points, heights, rng)


def country_ride(name, lat, lon, length, swing, seed, bends=28, short=0.0, step=15.0):
    """A loop of country lanes: a wobbly ring of bends, some tight, with a long climb."""
    rng = random.Random(seed)
    corners = []
    for i in range(bends):
        a = -2 * math.pi * i / bends
        r = 1000 * (1 + 0.25 * math.sin(3 * a + 1) + rng.uniform(-0.12, 0.12))
        corners.append((r * math.cos(a), r * math.sin(a), rng.choice([15.0, 30.0, 80.0, 200.0])))
    points = wander(corners_path(scaled(corners, length, step), step), rng, 1.5, 0.8)
    heights = knot_heights(points, [(0.0, 0.0), (0.3, swing), (0.45, 0.6 * swing), (0.6, 0.8 * swing), (0.8, 0.2 * swing)])
    if short > 0:
        s, _ = along(points)
        keep = [i for i in range(len(points)) if s[i] <= s[-1] - short]
        points, heights = points[:len(keep)], heights[:len(keep)]
    return name, gpx(name, lat, lon, points, heights, rng, noise=1.5)


# Circuits: corners in arbitrary units, scaled to the length; a hairpin, long straights, esses.
SPA = [(0, 0, 30), (14, 6, 15), (30, -6, 60), (48, -4, 40), (60, -18, 25), (46, -30, 30), (40, -42, 60),
       (20, -38, 20), (6, -46, 40), (-4, -30, 25), (4, -18, 60), (-6, -8, 15)]
NUR = [(0, 0, 15), (20, 2, 40), (26, -10, 20), (18, -18, 60), (30, -26, 15), (10, -30, 30), (-4, -20, 50)]
AUSTIN = [(0, 0, 12), (10, 4, 25), (16, -4, 30), (24, 2, 30), (30, -8, 15), (42, -10, 60), (40, -22, 15),
          (20, -20, 40), (8, -26, 20), (-2, -14, 30)]
BRANDS = [(0, 0, 20), (8, 6, 40), (22, 0, 60), (26, -12, 30), (14, -18, 50), (4, -14, 25)]
WIDE = [(0, 0, 40), (30, 10, 60), (55, -5, 80), (60, -35, 40), (35, -50, 90), (10, -40, 50), (-5, -20, 70)]


def routes(large):
    made = [
        circuit("Ardennes circuit", 50.4372, 5.9714, SPA, 7000, 100, 1,
                knots=[(0.0, 20), (0.05, 0), (0.12, 40), (0.3, 100), (0.45, 70), (0.6, 30), (0.8, 50), (0.92, 35)]),
        circuit("Eifel circuit", 50.3341, 6.9426, NUR, 5100, 60, 2),
        circuit("Texas circuit", 30.1328, -97.6411, AUSTIN, 5500, 40, 3,
                knots=[(0.0, 0), (0.06, 40), (0.3, 25), (0.6, 10), (0.85, 5)]),
        circuit("Kent circuit", 51.3569, 0.2631, BRANDS, 3900, 30, 4),
        town_ride("Town blocks", 48.1372, 11.5755, 6, 160, 29, 5),
        country_ride("Valley ride", 46.5197, 6.6323, 12000, 150, 6),
        country_ride("Lakes ride", 61.4978, 23.7610, 31000, 74, 7, bends=60),
        country_ride("Forest ride", 60.1699, 24.9384, 42000, 90, 9, bends=70),  # past the whole solve's reach
        country_ride("Hill loop, stopped 80 m short", 45.0703, 7.6869, 6000, 60, 8, short=80.0),
        country_ride("Hill loop, stopped 1.5 km short", 45.0703, 7.6869, 6000, 60, 8, short=1500.0),
    ]
    # Long straights drawn from a few corners: the hardest for the heights.
    made += [circuit("Wide circuit %d" % k, 47.0 + k, 8.0, WIDE, 5000 + 1000 * k, 100, 10 + k, step=20.0)
             for k in range(3 if large else 1)]
    return made


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, text in routes("--large" in sys.argv):
        file = name.split(",")[0].lower().replace(" ", "-") + ("-short" if "80 m" in name else "") + \
            ("-open" if "1.5 km" in name else "") + ".gpx"
        with open(os.path.join(out, file), "w") as f:
            f.write(text)
        print(file)


if __name__ == "__main__":
    main()
