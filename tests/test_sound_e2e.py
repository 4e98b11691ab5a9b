#!/usr/bin/python3
# The game's sound, played by the real game and recorded through OpenAL Soft's wave writer.
# Usage: test_sound_e2e.py GAME. Every assertion reads the order of what was heard and the lengths
# within the recording, never when a key fell.
import atexit, itertools, os, struct, subprocess, sys, tempfile, time
import numpy as np

GAME = os.path.abspath(sys.argv[1])
RATE, HOP = 44100, 4410  # the writer's samples a second; 0.1 s windows
# Flat for 200 units ahead of the start, then a ramp far too steep to drive up.
RAMP = "#Track\nRamp\n0 0 0\n0 200 0\n0 220 100\n0 320 100\n200 320 100\n200 0 0\n"
SQUARE = "#Track\nSquare\n0 0 0\n0 100 0\n100 100 0\n100 0 0\n"
BANNER = "Zarvanto by Iveldor\n(https://zarvanto.example.org)\nUsage: Zarvanto [track file] [opponents 1..7]\n"
IDLE, AT_40 = 22050 / 300, 22050 / 300 * (1 + 2.2 * 40 / 160)  # Hz: the engine note standing and at 40


# Runs the game on a track, types each step's keys and waits its seconds, then quits with Escape;
# returns its standard error and the mono recording, if one was made.
def play(folder, args, steps, drivers="wave"):
    wav = os.path.join(folder, "%d.wav" % len(os.listdir(folder)))
    with open(os.path.join(folder, "alsoft.conf"), "w") as conf:
        conf.write("[general]\nfrequency = %d\nsample-type = float32\n[wave]\nfile = %s\n[alsa]\ndevice = nowhere\n"
                   % (RATE, wav))
    home = tempfile.mkdtemp(dir=folder)  # what each game keeps goes with the test's folder, a home each
    # With OpenAL Soft's warnings, such as a context left open at the exit, in the game's standard error.
    env = dict(os.environ, LIBGL_ALWAYS_SOFTWARE="1", ALSOFT_DRIVERS=drivers, ALSOFT_CONF=conf.name, HOME=home,
               XDG_DATA_HOME=home, ALSOFT_LOGLEVEL="2")
    game = subprocess.Popen([GAME] + args, cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Zarvanto$"],
                                capture_output=True, text=True, timeout=30).stdout.split()[0]
        for keys, seconds in steps + [(["Escape"], 0)]:
            subprocess.run(["xdotool", "windowfocus", "--sync", window, "key"] + keys, check=True, timeout=10)
            time.sleep(seconds)
        out, err = game.communicate(timeout=20)
    finally:
        game.kill()
    assert game.returncode == 0 and out.startswith(BANNER), (game.returncode, out, err)  # a race adds its standings
    if not os.path.exists(wav):
        return err, None
    raw = open(wav, "rb").read()
    at = raw.index(b"data")
    size = struct.unpack("<I", raw[at + 4:at + 8])[0]
    return err, np.frombuffer(raw[at + 8:at + 8 + size], np.float32).reshape(-1, 2).mean(axis=1)


# Per 0.1 s: loudness, the strongest note from 30 to 400 Hz, and the share of power above 2 kHz.
def windows(sound):
    freqs = np.fft.rfftfreq(1 << 15, 1 / RATE)
    for i in range(0, len(sound) - HOP, HOP):
        power = np.abs(np.fft.rfft(sound[i:i + HOP] * np.hanning(HOP), 1 << 15)) ** 2
        band = (freqs > 30) & (freqs < 400)
        yield (np.sqrt(np.mean(sound[i:i + HOP] ** 2)), freqs[band][np.argmax(power[band])],
               power[freqs > 2000].sum() / max(power.sum(), 1e-30))


# The stretches of windows with sound in them.
def runs(table):
    return [list(run) for loud, run in itertools.groupby(table, key=lambda w: w[0] > 1e-3) if loud]


# The chimes heard over the engine, each as (the notes in the order they take over, each with the
# seconds from the chime's start; its length while within 40 dB of its loudest; its loudness over
# the engine's note). Spectra of 40 ms every 5 ms, as amplitudes of the notes in them.
def chimes(sound):
    step, size, freqs = 220, 1764, np.fft.rfftfreq(1 << 14, 1 / RATE)
    spectra = np.array([np.abs(np.fft.rfft(sound[i:i + size] * np.hanning(size), 1 << 14)) * 4 / size
                        for i in range(0, len(sound) - size, step)])
    high, engine, bright = (freqs > 600) & (freqs < 3000), (freqs > 30) & (freqs < 400), abs(freqs - 1320) < 15
    ping = spectra[:, bright].max(axis=1)  # the waypoint's note, and the lap's last with the first's overtone
    heard = []
    for loud, run in itertools.groupby(range(len(ping)), key=lambda i: ping[i] > 1e-4):  # 1e-7 between them
        run = list(run)
        top = max(run, key=lambda i: ping[i])
        if not loud or ping[top] < 0.02:  # a chime's loudest is near 0.2; the engine's start clicks 0.002
            continue
        ringing = [i for i in run if ping[i] > 0.01 * ping[top]]
        clear = [i for i in run if spectra[i, high].max() > 0.5 * spectra[run, :][:, high].max()]
        notes = [(freqs[high][np.argmax(spectra[i, high])], (i - clear[0]) * step / RATE) for i in clear]
        notes = [n for k, n in enumerate(notes) if k == 0 or abs(n[0] - notes[k - 1][0]) > 20]
        heard.append((notes, (ringing[-1] - ringing[0]) * step / RATE, ping[top] / spectra[top, engine].max()))
    return heard


if "DISPLAY" not in os.environ:  # run alone: a screen of its own
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
                            stdout=subprocess.PIPE, text=True)
    os.environ["DISPLAY"] = ":" + xvfb.stdout.readline().strip()
    atexit.register(xvfb.kill)
with tempfile.TemporaryDirectory() as folder:
    open(os.path.join(folder, "ramp.tck"), "w").write(RAMP)
    open(os.path.join(folder, "square.tck"), "w").write(SQUARE)
    # Alone on the ramp: 5, then 40 units a second, stop, pause, resume, mute, unmute, then at
    # 40 again into the ramp, which crashes the car wherever the keys fell.
    err, sound = play(folder, ["ramp.tck", "0"], [
        (["Up"], 1.2), (["Up", "Up", "Up"], 1.2), (["space"], 1.2), (["p"], 1.2), (["p"], 1.2),
        (["m"], 1.2), (["m"], 1.2), (["Up", "Up", "Up", "Up"], 8.0)])
    assert err == "", err
    heard = runs(windows(sound))
    # Quiet until the first key; pause and mute each part what was heard; silence after the crash.
    assert len(heard) == 3, [len(r) for r in heard]
    assert all(w[0] <= 1e-3 for w in windows(sound[-RATE:])), "the engine still ran after the crash"
    # The note and the loudness at 40 and standing after Space; muting and back changes neither.
    fast = max(heard[0][1:-1], key=lambda w: w[1])
    standing = heard[0][-4:-1] + heard[1][1:-1] + heard[2][1:5]
    assert abs(fast[1] - AT_40) < 2.5 and all(abs(w[1] - IDLE) < 2 for w in standing), (fast, standing)
    assert all(abs(w[0] / standing[0][0] - 1) < 0.1 for w in standing), ("loudness when standing", standing)
    assert abs(fast[0] / standing[0][0] - 0.525 / 0.4) < 0.1, ("gain at 40 over standing", fast, standing)
    assert max(w[2] for w in heard[0][1:-1]) < 0.05 < 0.2 < max(w[2] for w in heard[2]), "no crash heard"
    # The crash alone after the engines stop: its hiss starts it, a thud falling from 90 Hz.
    blocks = np.sqrt(np.mean(np.diff(sound)[:len(sound) // 110 * 110 - 110].reshape(-1, 110) ** 2, axis=1))
    crash = np.argmax(blocks > 0.06) * 110  # a chime's sharpest change reaches 0.04
    end = np.nonzero(np.abs(sound) > 1e-3)[0][-1]
    thud = next(windows(sound[crash:crash + 2 * HOP]))[1]
    assert abs((end - crash) / RATE - 0.7) < 0.03 and 75 < thud < 95, ((end - crash) / RATE, thud)
    loud = np.sqrt(np.mean(sound[crash:crash + HOP] ** 2))  # hiss and thud at the cues' gain, as mixed: 0.158
    fade = np.sqrt(np.mean(sound[end - RATE // 20:end] ** 2)) / loud
    assert fade < 0.1 and 0.13 < loud < 0.19, ("the crash does not die away, or is not as loud", fade, loud)

    # Round the square at 40, stood at each waypoint reached in turn by r: a ping each, then the lap.
    # A race's countdown sounds the same over the engine standing: a ping at 3, 2 and 1, the lap's
    # chime at go; the car then leaves at 5, far from its first waypoint when the recording ends.
    ping, lap = [([(1320, 0.0)], 0.3)] * 3, ([(660, 0.0), (880, 0.1), (1320, 0.2)], 0.5)
    for args, steps, engine in ((["square.tck", "0"], [(["Up"] * 4, 4.0)] + [(["r"] + ["Up"] * 4, 4.0)] * 3, 0.525),
                                (["--race", "1", "square.tck", "0"], [(["Up"], 4.5)], 0.4)):
        err, sound = play(folder, args, steps)
        heard = chimes(sound)
        assert err == "" and len(heard) == 4, (err, heard)
        for (notes, length, over_engine), (want, wanted_length) in zip(heard, ping + [lap]):
            assert len(notes) == len(want) and abs(length - wanted_length) < 0.04, (notes, length)
            assert all(abs(f - g) < 20 and abs(t - u) < 0.03 for (f, t), (g, u) in zip(notes, want)), notes
            # A chime at 0.6 of the cues' 0.8 over the engine's note at 1/2.57 of its gain (0.525 at
            # 40, 0.4 standing), as 40 ms of the chime's quick fall hear it.
            assert 1.75 < over_engine * engine / 0.525 < 2.15, over_engine

    # A rival's engine is its own: on the grid its note, a little above the parked player's, beats
    # with it, the two together swelling and fading a few times a second through the countdown (on
    # the same note, as an engine left unmoved and untuned would play, they only hum).
    err, sound = play(folder, ["--race", "1", "square.tck", "1"], [(["Return"], 3.0)])
    countdown = [w[0] for w in windows(sound) if w[0] > 1e-3][:20]
    assert err == "" and min(countdown) < 0.85 * np.median(countdown), countdown

    err, sound = play(folder, ["--mute", "ramp.tck", "0"], [(["Up"], 1.5)])
    assert err == "" and len(sound) > RATE and np.abs(sound).max() < 1e-3, "--mute did not silence the game"

    err, sound = play(folder, ["ramp.tck", "0"], [(["Up"], 0.5)], drivers="alsa")
    assert err == "Sound is off: no sound device could be opened\n" and sound is None, err
print("1 passed, 0 failed")
