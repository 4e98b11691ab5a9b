#!/usr/bin/python3
# The game's sound, played by the real game and recorded through OpenAL Soft's wave writer.
# Usage: test_sound_e2e.py GAME. Every assertion reads the order of what was heard, never when.
import atexit, itertools, os, struct, subprocess, sys, tempfile, time
import numpy as np

GAME = os.path.abspath(sys.argv[1])
RATE, HOP = 44100, 4410  # the writer's samples a second; 0.1 s windows
# Flat for 200 units ahead of the start, then a ramp far too steep to drive up.
RAMP = "#Track\nRamp\n0 0 0\n0 200 0\n0 220 100\n0 320 100\n200 320 100\n200 0 0\n"
BANNER = "Zarvanto by Iveldor\n(https://zarvanto.example.org)\nUsage: Zarvanto [track file] [opponents 1..7]\n"


# Runs the game on the ramp, types each step's keys and waits its seconds, then quits with Escape;
# returns its standard error and the mono recording, if one was made.
def play(folder, args, steps, drivers="wave"):
    wav = os.path.join(folder, "%d.wav" % len(os.listdir(folder)))
    with open(os.path.join(folder, "alsoft.conf"), "w") as conf:
        conf.write("[general]\nfrequency = %d\nsample-type = float32\n[wave]\nfile = %s\n[alsa]\ndevice = nowhere\n"
                   % (RATE, wav))
    env = dict(os.environ, LIBGL_ALWAYS_SOFTWARE="1", ALSOFT_DRIVERS=drivers, ALSOFT_CONF=conf.name, HOME=folder,
               XDG_DATA_HOME=folder)  # any record it keeps goes with the test's folder
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
    assert game.returncode == 0 and out == BANNER, (game.returncode, out, err)
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


if "DISPLAY" not in os.environ:  # run alone: a screen of its own
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
                            stdout=subprocess.PIPE, text=True)
    os.environ["DISPLAY"] = ":" + xvfb.stdout.readline().strip()
    atexit.register(xvfb.kill)
with tempfile.TemporaryDirectory() as folder:
    open(os.path.join(folder, "ramp.tck"), "w").write(RAMP)
    # Alone on the ramp: 5, then 40 units a second, stop, pause, resume, mute, unmute, then at
    # 40 again into the ramp, which crashes the car wherever the keys fell.
    err, sound = play(folder, ["ramp.tck", "0"], [
        (["Up"], 1.2), (["Up", "Up", "Up"], 1.2), (["space"], 1.2), (["p"], 1.2), (["p"], 1.2),
        (["m"], 1.2), (["m", "Up", "Up", "Up", "Up"], 8.0)])
    assert err == "", err
    heard = runs(windows(sound))
    # Quiet until the first key; pause and mute each part what was heard; silence after the crash.
    assert len(heard) == 3, [len(r) for r in heard]
    assert all(w[0] <= 1e-3 for w in windows(sound[-RATE:])), "the engine still ran after the crash"
    notes = [w[1] for w in heard[0][1:-1]]
    assert max(notes) > 1.25 * notes[0], ("the note did not rise with the speed", notes)
    assert notes[-1] < 0.8 * max(notes), ("the note did not fall after Space", notes)
    assert max(w[2] for w in heard[0][1:-1]) < 0.05 < 0.2 < max(w[2] for w in heard[2]), "no crash heard"

    err, sound = play(folder, ["--mute", "ramp.tck", "0"], [(["Up"], 1.5)])
    assert err == "" and len(sound) > RATE and np.abs(sound).max() < 1e-3, "--mute did not silence the game"

    err, sound = play(folder, ["ramp.tck", "0"], [(["Up"], 0.5)], drivers="alsa")
    assert err == "Sound is off: no sound device could be opened\n" and sound is None, err
print("1 passed, 0 failed")
