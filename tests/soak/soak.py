#!/usr/bin/python3
"""The long race: the real game with seven opponents on a plateau ring, driven for minutes through
every view, overlay, pause, full screen and a crash a minute, its memory and frames watched from
outside. Memory settles in the first three minutes (Mesa's caches, the font's glyphs); after that
it must not grow, and every minute must show frames.

Usage: soak.py GAME TRACK SWAP_COUNTER_LIBRARY MINUTES REPORT. Needs DISPLAY.
"""
import os
import struct
import subprocess
import sys
import tempfile
import time

GAME, TRACK, COUNTER, MINUTES, REPORT = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5]
SETTLED_MINUTE = 3
MAX_GROWTH_KIB = 8 * 1024
MIN_FRAMES_A_MINUTE = 300
STEER = 23  # pixels right of the centre column: round the ring at 40 units a second
# One minute of play: (second, xdotool arguments after the window's focus).
CYCLE = [(0, ["key", "Up", "Up", "Up", "Up"]), (0, ["mousemove", "--window", "{w}", str(250 + STEER), "200"])] + [
    (at, ["key", key]) for at, key in [(5, "F6"), (9, "F5"), (13, "F8"), (17, "3"), (20, "7"), (23, "0"),
                                       (25, "F7"), (27, "F1"), (30, "F1"), (34, "p"), (36, "p"), (38, "F4"),
                                       (41, "F4"), (42, "F2"), (43, "F3"), (44, "F2"), (45, "F3"), (46, "f"),
                                       (50, "f")]] + [
    (51, ["mousemove", "--window", "{w}", str(250 + STEER), "200"]),
    (53, ["mousemove", "--window", "{w}", "50", "200"]),  # off the plateau's edge
    (58, ["key", "Return"])]  # a new race, paused, for the next minute


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))


def main():
    record = tempfile.NamedTemporaryFile()
    home = tempfile.TemporaryDirectory()  # the records of the race's laps, thrown away after
    # A fixed threshold for mapping large blocks: otherwise the C library raises it once the window's
    # full-screen buffers are freed, later ones of that size come from the heap, and freed there they
    # may stay resident for minutes, a 9 MiB step that is no leak.
    env = dict(os.environ, LD_PRELOAD=COUNTER, ZARVANTO_SWAP_RECORD=record.name, HOME=home.name,
               XDG_DATA_HOME=home.name, MALLOC_MMAP_THRESHOLD_="131072")
    game = subprocess.Popen([GAME, TRACK, "7"], env=env, stdout=subprocess.DEVNULL)
    window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Zarvanto$"],
                            capture_output=True, text=True, timeout=30).stdout.split()[0]
    # The counter makes its record at the first frame shown: a window up before it has shown none.
    frames = lambda: struct.unpack("Q", open(record.name, "rb").read(8).ljust(8, b"\0"))[0]
    start = time.monotonic()
    samples = [(0, resident_kib(game.pid), frames())]
    for minute in range(MINUTES):
        for at, args in CYCLE:
            while time.monotonic() < start + 60 * minute + at:
                time.sleep(0.1)
            if game.poll() is not None:
                print(f"the game died {time.monotonic() - start:.0f} s in with status {game.returncode}")
                return 1
            args = [a.replace("{w}", window) for a in args]
            subprocess.run(["xdotool", "windowfocus", "--sync", window, *args], check=True)
        while time.monotonic() < start + 60 * (minute + 1):
            time.sleep(0.1)
        samples.append((minute + 1, resident_kib(game.pid), frames()))
    subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", "Escape"], check=True)
    status = game.wait(timeout=10)

    lines = ["minute  resident KiB  frames in the minute"]
    lines += [f"{m:6d}  {kib:12d}  {f - samples[i - 1][2] if i else 0:20d}" for i, (m, kib, f) in enumerate(samples)]
    failures = [] if status == 0 else [f"Escape ended the game with status {status}"]
    failures += [f"minute {m} showed only {f - samples[m - 1][2]} frames" for m, _, f in samples[1:]
                 if f - samples[m - 1][2] < MIN_FRAMES_A_MINUTE]
    settled = [kib for m, kib, _ in samples if m >= SETTLED_MINUTE]
    if settled and max(settled) - settled[0] > MAX_GROWTH_KIB:
        failures.append(f"memory grew by {max(settled) - settled[0]} KiB after minute {SETTLED_MINUTE}")
    text = "\n".join(lines + failures) + "\n"
    print(text, end="")
    with open(REPORT, "w") as report:
        report.write(text)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
