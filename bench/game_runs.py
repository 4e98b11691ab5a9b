#!/usr/bin/python3
"""Measures the real game binary on the X display in DISPLAY: its start-up, and its frame rate
and CPU use while racing.

Usage:
  game_runs.py startup GAME SWAP_COUNTER TRACKS_DIR BIG_TRACK [RUNS [TARGET]]
  game_runs.py racing GAME SWAP_COUNTER TRACKS_DIR [RUNS]
  game_runs.py sound GAME SWAP_COUNTER TRACKS_DIR [RUNS]
  game_runs.py ghost GAME SWAP_COUNTER TRACKS_DIR [RUNS]
  game_runs.py gamepad GAME SWAP_COUNTER TRACKS_DIR [RUNS]
  game_runs.py rivals GAME SWAP_COUNTER TRACKS_DIR [RUNS]
  game_runs.py chooser GAME SWAP_COUNTER TRACKS_DIR [RUNS]

GAME is the game binary, SWAP_COUNTER the zarvanto_swap_counter library preloaded into it to
count its frames, TRACKS_DIR the shipped tracks (the game runs there and loads Default.tck) and
BIG_TRACK a generated track file to compare the start-up with.

startup: from exec to the banner on standard output, and to the first frame shown, on the
default track and on BIG_TRACK, taking turns so both see the same load; prints the medians and
their ratios against TARGET (2 unless told).

racing: starts the game on the default track, types Enter and Up three times into its window
(resume, then 20 units per second), waits 2 s, then counts frames and reads the process's user
and system time over 10 s; prints the frame rate and the share of one core, per run and median.

sound: the racing run, silent (no sound device: OpenAL Soft is given no driver) and with the sound
mixed in full by OpenAL Soft's wave writer into /dev/null, the two taking turns run by run; prints
the medians of each and the difference in the share of one core.

ghost: the racing run with no record of the track and with one whose ghost drives a little ahead
of the player, in view all the time, the two taking turns; prints the medians of each and the
difference in the share of one core. The record is written where the track tool says the game
looks for it, in a home of the benchmark's own.

gamepad: the racing run as where SDL can't start (libzarvanto_no_gamepads.so, beside SWAP_COUNTER,
preloaded too: SDL_Init fails, so no pad is ever read) and as the game ships, SDL's game-controller
subsystem started and its events read every step, the two taking turns; prints the medians of each
and the difference in the share of one core.
rivals: the racing run against 7 opponents and in a race against 7 rivals, taking turns; prints the
medians of each and the difference in the share of one core.

chooser: with 1,000 tracks (the shipped ones under new titles) in the player's folder, the exec to
the chooser's first frame against the exec to the default race's first frame, taking turns; then
the game's CPU time per frame shown while the Down key walks the list at 50 keys a second, against
the same while racing. Prints the medians and the ratios.
"""
import math
import os
import statistics
import struct
import subprocess
import sys
import tempfile
import time

SETTLE_SECONDS = 2.0    # after the keys, before counting: the race is under way
MEASURE_SECONDS = 10.0  # counted
START_TIMEOUT = 20.0    # seconds for the banner or a window on a busy machine
RECORD = "/tmp/zarvanto-swap-record-%d" % os.getpid()
HOME = tempfile.mkdtemp(prefix="zarvanto-bench-home-")  # the runs' records, never the player's


def game_env(counter, extra=None):
    env = dict(os.environ, LIBGL_ALWAYS_SOFTWARE="1", LD_PRELOAD=counter, ZARVANTO_SWAP_RECORD=RECORD, HOME=HOME,
               XDG_DATA_HOME=HOME)
    env.update(extra or {})
    return env


def read_record():
    """Swaps so far and the monotonic nanoseconds of the first, or (0, 0) before any."""
    try:
        with open(RECORD, "rb") as source:
            data = source.read(16)
    except FileNotFoundError:
        return 0, 0
    return struct.unpack("QQ", data) if len(data) == 16 else (0, 0)


def start(game, counter, tracks_dir, args, extra_env=None):
    if os.path.exists(RECORD):
        os.remove(RECORD)
    began = time.monotonic_ns()
    process = subprocess.Popen([game] + args, cwd=tracks_dir, env=game_env(counter, extra_env),
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return process, began


def stop(process):
    if process.poll() is None:
        process.terminate()
    try:
        process.wait(timeout=5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def startup_once(game, counter, tracks_dir, args):
    process, began = start(game, counter, tracks_dir, args)
    try:
        banner = process.stdout.readline()
        banner_ms = (time.monotonic_ns() - began) / 1e6
        if not banner.startswith(b"Zarvanto"):
            sys.exit("no banner from %s %s: %r" % (game, " ".join(args), banner))
        deadline = time.monotonic() + START_TIMEOUT
        while read_record()[0] == 0:
            if time.monotonic() > deadline or process.poll() is not None:
                sys.exit("no frame shown by %s %s" % (game, " ".join(args)))
            time.sleep(0.001)
        return banner_ms, (read_record()[1] - began) / 1e6
    finally:
        stop(process)


def startup(game, counter, tracks_dir, big_track, runs, target=2.0):
    cases = [("Default.tck (shipped default)", []), (os.path.basename(big_track), [big_track])]
    times = {name: [] for name, _ in cases}
    for _ in range(runs):
        for name, args in cases:
            times[name].append(startup_once(game, counter, tracks_dir, args))
    print("| track | exec to banner ms | exec to first frame ms | runs |")
    print("|---|---:|---:|---:|")
    medians = []
    for name, _ in cases:
        banner = statistics.median(t[0] for t in times[name])
        frame = statistics.median(t[1] for t in times[name])
        medians.append((banner, frame))
        print("| %s | %.1f | %.1f | %d |" % (name, banner, frame, runs))
    (banner0, frame0), (banner1, frame1) = medians
    verdict = "met" if banner1 / banner0 < target and frame1 / frame0 < target else "MISSED"
    print("\nBig track / default: %.2f to the banner, %.2f to the first frame (target below %g: %s)"
          % (banner1 / banner0, frame1 / frame0, target, verdict))


def window_of(process):
    deadline = time.monotonic() + START_TIMEOUT
    while time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(process.pid)],
                               capture_output=True, text=True).stdout.split()
        if not found:
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Zarvanto$"],
                                   capture_output=True, text=True).stdout.split()
        if found:
            return found[0]
        time.sleep(0.1)
    sys.exit("the game's window did not show up")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as source:
        fields = source.read().rsplit(")", 1)[1].split()
    # utime and stime, fields 14 and 15 of the line, count every thread of the process.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def type_keys(window, *keys):
    # Typed into the focused window: a key sent to a window directly can stay held down.
    subprocess.run(["xdotool", "windowfocus", "--sync", window, "key"] + list(keys), check=True, timeout=10)


def racing_once(game, counter, tracks_dir, extra_env=None, args=()):
    process, _ = start(game, counter, tracks_dir, list(args), extra_env)
    try:
        process.stdout.readline()
        window = window_of(process)
        type_keys(window, "Return", "Up", "Up", "Up")
        time.sleep(SETTLE_SECONDS)
        swaps0, cpu0, wall0 = read_record()[0], cpu_seconds(process.pid), time.monotonic()
        time.sleep(MEASURE_SECONDS)
        swaps1, cpu1, wall1 = read_record()[0], cpu_seconds(process.pid), time.monotonic()
        type_keys(window, "Escape")
        process.wait(timeout=5)
        return (swaps1 - swaps0) / (wall1 - wall0), 100 * (cpu1 - cpu0) / (wall1 - wall0)
    finally:
        stop(process)


def racing(game, counter, tracks_dir, runs):
    results = [racing_once(game, counter, tracks_dir) for _ in range(runs)]
    print("| run | frames per second | share of one core |")
    print("|---|---:|---:|")
    for k, (fps, cpu) in enumerate(results, 1):
        print("| %d | %.0f | %.1f%% |" % (k, fps, cpu))
    fps = statistics.median(r[0] for r in results)
    cpu = statistics.median(r[1] for r in results)
    print("| median | %.0f | %.1f%% |" % (fps, cpu))
    verdict = "met" if fps >= 100 and cpu <= 20 else "MISSED"
    print("\nTarget at most 20%% of a core at 100 frames a second or more: %s" % verdict)


def side_by_side(game, counter, tracks_dir, runs, variants, what, target):
    """The racing run once for each variant (a name, the environment it adds, what to do before it
    and, when given, the game's arguments), the variants taking turns run by run; prints the medians
    and how many percentage points of a core the second adds to the first."""
    results = {variant[0]: [] for variant in variants}
    for k in range(runs):
        for variant in variants[::1 if k % 2 == 0 else -1]:
            name, env, prepare = variant[:3]
            prepare()
            results[name].append(racing_once(game, counter, tracks_dir, env, variant[3] if len(variant) > 3 else ()))
    print("| game | frames per second | share of one core | each run's share | runs |")
    print("|---|---:|---:|---|---:|")
    for name in results:
        shares = ", ".join("%.1f%%" % r[1] for r in results[name])
        print("| %s | %.0f | %.1f%% | %s | %d |" % (name, statistics.median(r[0] for r in results[name]),
                                                   statistics.median(r[1] for r in results[name]), shares, runs))
    rise = statistics.median(r[1] for r in results[variants[1][0]]) - \
        statistics.median(r[1] for r in results[variants[0][0]])
    print("\n%s adds %.1f percentage points (target at most %g: %s)"
          % (what, rise, target, "met" if rise <= target else "MISSED"))


def sound(game, counter, tracks_dir, runs):
    conf = "/tmp/zarvanto-sound-bench-%d.conf" % os.getpid()
    with open(conf, "w") as out:
        out.write("[wave]\nfile = /dev/null\n")
    side_by_side(game, counter, tracks_dir, runs,
                 [("silent (no sound device)", {"ALSOFT_DRIVERS": "none"}, lambda: None),
                  ("sound (mixed by OpenAL Soft)", {"ALSOFT_DRIVERS": "wave", "ALSOFT_CONF": conf}, lambda: None)],
                 "The sound", 2)
    os.remove(conf)


def write_ghost_record(game, tracks_dir):
    """A record of the default track whose ghost leaves the start 15 units ahead of the player and
    drives straight on at the player's 20 units a second; returns its file."""
    track = os.path.join(tracks_dir, "Default.tck")
    shown = subprocess.run([os.path.join(os.path.dirname(game), "zarvanto-track"), "records", track],
                           env=dict(os.environ, XDG_DATA_HOME=HOME), capture_output=True, text=True).stdout
    path = shown.split()[-1]
    lines = open(track).read().split("\n")
    numbers = " ".join(lines[2:]).split()
    # The game's x is east, y the height and z south.
    (x0, z0, y0), (x1, z1) = [float(v) for v in numbers[0:3]], [float(v) for v in numbers[3:5]]
    z0, z1 = -z0, -z1
    heading = math.atan2(x1 - x0, z1 - z0)
    samples = [(k * 0.05, 15 + 20 * k * 0.05) for k in range(1200)]
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as out:
        out.write("#Zarvanto record 1\ntrack %s\ntitle %s\nlap 60\ndate 2026-12-07T00:00:00Z\nversion bench\n"
                  "samples %d\n" % (os.path.basename(path)[:-4], lines[1], len(samples)))
        for t, along in samples:
            out.write("%.9g %.9g %.9g %.9g %.9g\n" % (t, x0 + along * math.sin(heading), y0,
                                                      z0 + along * math.cos(heading), heading))
    return path


def ghost(game, counter, tracks_dir, runs):
    record = write_ghost_record(game, tracks_dir)
    kept = open(record).read()
    side_by_side(game, counter, tracks_dir, runs,
                 [("no record", None, lambda: os.path.exists(record) and os.remove(record)),
                  ("the record's ghost in view", None, lambda: open(record, "w").write(kept))],
                 "The ghost", 1)


def gamepad(game, counter, tracks_dir, runs):
    no_pads = os.path.join(os.path.dirname(counter), "libzarvanto_no_gamepads.so")
    side_by_side(game, counter, tracks_dir, runs,
                 [("no pads (SDL can't start)", {"LD_PRELOAD": counter + ":" + no_pads}, lambda: None),
                  ("pads read every step", None, lambda: None)],
                 "Reading the pads", 1)


def rivals(game, counter, tracks_dir, runs):
    side_by_side(game, counter, tracks_dir, runs,
                 [("7 opponents", None, lambda: None, ()),
                  ("a race against 7 rivals", None, lambda: None, ("--race", "99", "Default.tck", "7"))],
                 "Racing rivals", 2)


PLAYER_TRACKS = 1000
BROWSE_KEYS = 500  # Down keys typed 20 ms apart: 10 s of browsing


def chooser_env(data):
    return {"XDG_DATA_HOME": data, "XDG_CONFIG_HOME": data}


def browsing_once(game, counter, tracks_dir, data):
    process, _ = start(game, counter, tracks_dir, ["--choose"], chooser_env(data))
    try:
        process.stdout.readline()
        window = window_of(process)
        time.sleep(SETTLE_SECONDS)
        swaps0, cpu0 = read_record()[0], cpu_seconds(process.pid)
        subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", "--delay", "20", "--repeat",
                        str(BROWSE_KEYS), "Down"], check=True, timeout=60)
        time.sleep(0.5)  # the last shape comes in
        swaps1, cpu1 = read_record()[0], cpu_seconds(process.pid)
        type_keys(window, "Escape")
        process.wait(timeout=5)
        return 1000 * (cpu1 - cpu0) / max(1, swaps1 - swaps0), swaps1 - swaps0
    finally:
        stop(process)


def chooser(game, counter, tracks_dir, runs):
    data = tempfile.mkdtemp(prefix="zarvanto-bench-data-")
    folder = os.path.join(data, "zarvanto", "tracks")
    os.makedirs(folder)
    shipped = sorted(f for f in os.listdir(tracks_dir) if f.endswith(".tck"))
    for k in range(PLAYER_TRACKS):
        with open(os.path.join(tracks_dir, shipped[k % len(shipped)])) as source:
            lines = source.read().split("\n", 2)
        with open(os.path.join(folder, "track-%04d.tck" % k), "w") as out:
            out.write("#Track\nTrack %04d\n%s" % (k, lines[2]))
    frames = {"race": [], "chooser": []}
    for _ in range(runs):
        frames["race"].append(startup_once(game, counter, tracks_dir, [])[1])
        process, began = start(game, counter, tracks_dir, ["--choose"], chooser_env(data))
        try:
            process.stdout.readline()
            while read_record()[0] == 0:
                if process.poll() is not None:
                    sys.exit("no frame shown by the chooser")
                time.sleep(0.001)
            frames["chooser"].append((read_record()[1] - began) / 1e6)
        finally:
            stop(process)
    race_ms, chooser_ms = statistics.median(frames["race"]), statistics.median(frames["chooser"])
    print("| start | exec to first frame ms | runs |")
    print("|---|---:|---:|")
    print("| race on Default.tck | %.1f | %d |" % (race_ms, runs))
    print("| chooser, %d tracks of the player's | %.1f | %d |" % (PLAYER_TRACKS, chooser_ms, runs))
    print("\nChooser / race: %.2f (target below 1.5: %s)"
          % (chooser_ms / race_ms, "met" if chooser_ms / race_ms < 1.5 else "MISSED"))
    racing_runs = [racing_once(game, counter, tracks_dir) for _ in range(3)]
    race_frame = statistics.median(10 * cpu / fps for fps, cpu in racing_runs)  # ms of CPU a frame
    browsing = [browsing_once(game, counter, tracks_dir, data) for _ in range(3)]
    browse_frame = statistics.median(b[0] for b in browsing)
    print("\n| frame | CPU ms per frame shown | frames |")
    print("|---|---:|---:|")
    print("| racing Default.tck, 7 opponents | %.2f | %s |" % (race_frame, ", ".join("%.0f fps" % r[0] for r in racing_runs)))
    print("| browsing %d tracks, Down every 20 ms | %.2f | %s |" % (PLAYER_TRACKS, browse_frame,
                                                              ", ".join(str(b[1]) for b in browsing)))
    print("\nBrowsing / racing: %.2f (target at most 1: %s)"
          % (browse_frame / race_frame, "met" if browse_frame <= race_frame else "MISSED"))


def main():
    if len(sys.argv) >= 6 and sys.argv[1] == "startup":
        startup(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5], int(sys.argv[6]) if len(sys.argv) > 6 else 11,
                float(sys.argv[7]) if len(sys.argv) > 7 else 2.0)
    elif len(sys.argv) >= 5 and sys.argv[1] == "racing":
        racing(sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]) if len(sys.argv) > 5 else 3)
    elif len(sys.argv) >= 5 and sys.argv[1] == "sound":
        sound(sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]) if len(sys.argv) > 5 else 6)
    elif len(sys.argv) >= 5 and sys.argv[1] == "chooser":
        chooser(sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]) if len(sys.argv) > 5 else 11)
    elif len(sys.argv) >= 5 and sys.argv[1] == "ghost":
        ghost(sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]) if len(sys.argv) > 5 else 6)
    elif len(sys.argv) >= 5 and sys.argv[1] == "rivals":
        rivals(sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]) if len(sys.argv) > 5 else 6)
    elif len(sys.argv) >= 5 and sys.argv[1] == "gamepad":
        gamepad(sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]) if len(sys.argv) > 5 else 6)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
