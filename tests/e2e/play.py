#!/usr/bin/python3
"""The game as a player meets it: the real binary in a real X server, keys through xdotool, and
what it shows read back as pixels and compared with stored pictures of fixed scenes.

Usage: play.py GAME TRACKS_DIR [unittest arguments]. Needs DISPLAY (scripts/test starts Xvfb).
With ZARVANTO_NEW_PICTURES=1 the pictures the game shows replace the stored ones: a deliberate
step, whose new pictures are looked at before they are committed.
"""
import os, pathlib, shutil, subprocess, sys, tempfile, time, unittest

from PIL import Image, ImageChops

GAME, TRACKS = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
PICTURES = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "pictures")
CLASS = "org.example.zarvanto"  # the window's, the desktop entry's and the icon's name
ICON = os.path.join(os.path.dirname(os.path.dirname(PICTURES)), "data", "icons", "48x48", CLASS + ".png")
FAILURES = os.path.join(os.getcwd(), "e2e-failures")
TOLERANCE = 2  # per channel: Mesa may round a colour either way
WAIT = 20  # seconds any picture may take to show, however busy the machine
CRASHED_RED = (255, 51, 0)

SQUARE = "0 0 0\n0 100 0\n100 100 0\n100 0 0\n"
# Level for 50 units, then a climb of 25 in 20: far steeper than 45 degrees.
STEEP_CLIMB = "0 0 0\n0 50 0\n0 70 25\n60 70 25\n60 0 0\n"


def differing(shot, reference):
    """How many pixels differ by more than the tolerance in some channel."""
    if shot.size != reference.size:
        return shot.size[0] * shot.size[1]
    diff = ImageChops.difference(shot, reference).convert("L").point(lambda v: 255 if v > TOLERANCE else 0)
    return diff.histogram()[255]


class Game:
    """One run of the game, started in folder with args, and its window."""

    def __init__(self, folder, *args, data_home=None):
        # The game keeps records in the player's home: a fresh one of the test's own, unless the
        # test names the one whose records it wants.
        self.home = tempfile.TemporaryDirectory()
        env = dict(os.environ, HOME=self.home.name, XDG_DATA_HOME=data_home or self.home.name,
                   XDG_CONFIG_HOME=self.home.name)
        self.process = subprocess.Popen([GAME, *args], cwd=folder, env=env, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
        deadline = time.monotonic() + WAIT
        while True:
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Zarvanto$"],
                                   capture_output=True, text=True).stdout.split()
            if found:
                self.window = found[0]
                break
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise AssertionError(f"no game window: {self.finish()}")
            time.sleep(0.05)

    def keys(self, *keys):
        subprocess.run(["xdotool", "windowfocus", "--sync", self.window, "key", *keys], check=True)

    def shot(self):
        ppm = subprocess.run(["import", "-silent", "-window", self.window, "-depth", "8", "ppm:-"],
                             capture_output=True, check=True).stdout
        return Image.open(__import__("io").BytesIO(ppm)).convert("RGB")

    def wait_for(self, what, wanted):
        """The first picture that is wanted; fails, keeping the last picture, when none is in time."""
        deadline = time.monotonic() + WAIT
        while True:
            shot = self.shot()
            if wanted(shot):
                return shot
            if time.monotonic() > deadline:
                os.makedirs(FAILURES, exist_ok=True)
                path = os.path.join(FAILURES, what.replace(" ", "-") + ".png")
                shot.save(path)
                raise AssertionError(f"the game never showed {what}; its last picture is {path}")
            time.sleep(0.05)

    def shows(self, name):
        """Waits for the stored picture name; on a mismatch keeps what was shown and the difference."""
        path = os.path.join(PICTURES, name + ".png")
        if os.environ.get("ZARVANTO_NEW_PICTURES") == "1":
            time.sleep(1.0)
            self.shot().save(path)
        reference = Image.open(path).convert("RGB")
        try:
            return self.wait_for(f"the picture {name}", lambda shot: differing(shot, reference) == 0)
        except AssertionError:
            shot = self.shot()
            os.makedirs(FAILURES, exist_ok=True)
            ImageChops.difference(shot, reference).point(lambda v: 255 if v > TOLERANCE else 0).save(
                os.path.join(FAILURES, name + "-difference.png"))
            raise AssertionError(f"{differing(shot, reference)} pixels differ from {path}; what the game showed "
                                 f"and the difference are in {FAILURES}")

    def still(self, shot):
        """Whether the picture stays as shot: anything moving would show within half a second."""
        time.sleep(0.5)
        return differing(self.shot(), shot) == 0

    def finish(self):
        try:
            out, err = self.process.communicate(timeout=WAIT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            out, err = self.process.communicate()
        self.home.cleanup()
        return self.process.returncode, out, err

    def quit(self, test):
        self.keys("Escape")
        status, out, err = self.finish()
        test.assertEqual(status, 0, err)
        test.assertTrue(out.startswith("Zarvanto by Iveldor\n"), out)


class Journeys(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def play(self, folder, *args, data_home=None):
        game = Game(folder, *args, data_home=data_home)
        self.addCleanup(game.finish)
        self.addCleanup(game.process.kill)
        return game

    def track(self, waypoints):
        name = f"{len(os.listdir(self.folder.name))}.tck"
        pathlib.Path(self.folder.name, name).write_text("#Track\nTest track\n" + waypoints)
        return name

    def test_refused_starts_print_only_the_reason_and_exit_with_one(self):
        cant_open = "Can't open track file\n"
        too_close = "Track waypoints can't be closer to each other than 10\n"
        not_clockwise = "Waypoints must be defined in clockwise order\n"
        bad_opponents = "Usage: Zarvanto [track file] [opponents 1..7]\n"
        os.mkdir(os.path.join(self.folder.name, "folder.tck"))
        cases = [
            ([], "Can't open default.tck\nUsage: Zarvanto [track file] [opponents]\n"),
            (["missing.tck"], cant_open),
            (["folder.tck"], cant_open),
            ([self.track("0 0 0\n0 5 8\n100 100 0\n100 0 0\n")], too_close),
            ([self.track("0 0 0\n0 nan 0\n100 100 0\n100 0 0\n")], too_close),
            ([self.track("0 0 0\n100 100 0\n100 0 0\n0 100 0\n")], "The track can't cross itself\n"),
            ([self.track("0 0 0\n100 0 0\n100 100 0\n0 100 0\n")], not_clockwise),
            ([self.track("0 0 0\n0 100 0\n2000000 100 0\n100 0 0\n")], "Error: invalid track\n"),
            ([self.track(""), "3"], "Invalid track file\n"),
            ([self.track(SQUARE), "-1"], bad_opponents),
            ([self.track(SQUARE), "-99999999999999999999"], bad_opponents),
            # With two things wrong, the track is what the player has to fix first.
            ([self.track("0 0 0\n100 0 0\n100 100 0\n0 100 0\n"), "-1"], not_clockwise),
            (["missing.tck", "-1"], cant_open),
            (["--level", "hard"], "Usage: zarvanto --race LAPS(1..99) [--level easy|medium|hard] [track file] "
                                  "[rivals 0..7]\n"),  # a level without a race
        ]
        for args, message in cases:
            with self.subTest(args=args):
                game = subprocess.run([GAME, *args], cwd=self.folder.name, capture_output=True, text=True, timeout=WAIT)
                self.assertEqual((game.returncode, game.stdout), (1, message))

    def test_paused_race_shows_its_overlays_help_cars_and_wireframe(self):
        game = self.play(TRACKS, "Default.tck", "3")
        first = game.shows("paused")
        # The desktop knows the window by its class and its icon, handed over as ARGB, rows from the top.
        icon = Image.open(ICON).convert("RGBA")
        argb = [*icon.size] + [a << 24 | r << 16 | g << 8 | b for r, g, b, a in icon.getdata()]
        shown = subprocess.run(["xprop", "-id", game.window, "-notype", "-f", "_NET_WM_ICON", "32c", "=$0+\n",
                                "WM_CLASS", "_NET_WM_ICON"], capture_output=True, text=True).stdout
        self.assertEqual(shown, f'WM_CLASS = "{CLASS}", "{CLASS}"\n_NET_WM_ICON={", ".join(map(str, argb))}\n')
        for keys, picture, back in [(["F1"], "help", ["h"]), (["2"], "car-2", ["0"]), (["F2", "F3"], "bare", ["F3", "F2"]),
                                    (["F4"], "wireframe", ["F4"])]:
            game.keys(*keys)
            game.shows(picture)
            game.keys(*back)
            game.wait_for(f"the first picture after {back}", lambda shot: differing(shot, first) == 0)
        game.keys("4")  # three opponents: there is no car 4
        self.assertTrue(game.still(first))
        game.quit(self)

    def test_drive_pause_crash_and_a_new_race(self):
        game = self.play(self.folder.name, self.track(STEEP_CLIMB), "0")
        first = game.wait_for("the first frame", lambda shot: shot.getbbox() is not None and game.still(shot))
        game.keys("Up")
        moving = game.wait_for("the car moving off", lambda shot: differing(shot, first) > 0)
        game.keys("p")
        paused = game.wait_for("the game paused", lambda shot: game.still(shot))
        self.assertGreater(differing(paused, moving), 0)
        game.keys("p", "Up", "Up", "Up")  # on at 40 units a second, straight at the climb
        game.wait_for("the crash", lambda shot: CRASHED_RED in {c for _, c in shot.getcolors(1 << 18)})
        time.sleep(1.5)  # till a waypoint's message is gone at the next picture
        game.keys("9")  # no car 9: only shows the picture again
        crashed = game.wait_for("the crash without a message", lambda shot: game.still(shot))
        game.keys("p", "space", "Up", "Down")
        self.assertTrue(game.still(crashed), "a key moved the crashed game")
        game.keys("Return")

        def as_first(shot):
            game.keys("9")
            return differing(shot, first) == 0
        game.wait_for("the new race, paused as the first began", as_first)
        game.quit(self)

    def test_a_record_kept_by_a_game_shows_in_the_next(self):
        # The in-process tests drive laps of the default track, keeping its record in this home.
        game = self.play(TRACKS, "Default.tck", "3", data_home=os.environ["ZARVANTO_RECORD_HOME"])
        game.shows("record")
        game.quit(self)

    def test_chooser_races_as_the_command_line_and_escape_comes_back_to_it(self):
        # One home for both games, so the targets the first keeps show in the chooser from the start.
        data = self.enterContext(tempfile.TemporaryDirectory())
        # And a friend's lap of the Hills track, whose best the chooser shows above the targets.
        shutil.copytree(os.path.join(os.path.dirname(PICTURES), "friends"), os.path.join(data, "zarvanto", "friends"))
        game = self.play(TRACKS, "Hills.tck", "2", data_home=data)
        first = game.wait_for("the first frame", lambda shot: shot.getbbox() is not None and game.still(shot))
        game.quit(self)
        game = self.play(self.folder.name, "--choose", data_home=data)
        game.keys("Prior", "Down", *["Left"] * 5)  # a page up from the Default track, one down; from seven opponents
        chooser = game.shows("chooser")
        game.keys("F1")  # the chooser's keys in place of the track's details, and back
        game.shows("chooser-help")
        game.keys("F1", "Return")
        game.wait_for("the command line's first frame", lambda shot: differing(shot, first) == 0)
        game.keys("Escape")
        game.wait_for("the chooser again", lambda shot: differing(shot, chooser) == 0)
        game.keys("Home")  # the first track, its details shown as any other's, kept as the choice on leaving
        game.shows("chooser-first")
        game.keys("equal", "Escape")  # and a lap more than the three a race starts with
        game.process.wait(timeout=WAIT)
        self.assertIn("Flat.tck\nopponents 2\nrace 0\nlaps 4", pathlib.Path(game.home.name, "zarvanto/chooser").read_text())
        status, _, err = game.finish()
        self.assertEqual((status, "can't be kept" in err), (0, False))  # and kept without a word

    def test_chooser_lists_what_it_can_of_a_bad_folder(self):
        # Left out: a folder, a pipe, links that lead nowhere or loop, a file of another name. Listed
        # with why: bytes, nothing, a file too large to read, text that is no track, a track the
        # rules refuse. Running as root, the tests can make no file that can't be read.
        data = self.enterContext(tempfile.TemporaryDirectory())
        tracks = os.path.join(data, "zarvanto", "tracks")
        os.makedirs(os.path.join(tracks, "folder.tck"))
        os.mkfifo(os.path.join(tracks, "pipe.tck"))
        os.symlink("gone", os.path.join(tracks, "gone.tck"))
        os.symlink("loop.tck", os.path.join(tracks, "loop.tck"))
        for name, content in [("bytes.tck", bytes(range(256))), ("nothing.tck", b""), ("notes.tck", b"laps\n"),
                              ("other.txt", b"#Track\nOther\n" + SQUARE.encode()),
                              # Its title and its file's name too wide for the details.
                              ("crossing-roads-where-none-may-go.tck", b"#Track\nCrossing roads where none may go\n"
                               b"0 0 0\n100 100 0\n100 0 0\n0 100 0\n")]:
            pathlib.Path(tracks, name).write_bytes(content)
        with open(os.path.join(tracks, "huge.tck"), "wb") as f:
            f.truncate((64 << 20) + 1)  # a byte more than is read
        game = self.play(self.folder.name, "--choose", data_home=data)
        game.keys("Down")  # past the shipped Default track, the first of the player's
        game.shows("refused")
        game.quit(self)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[3:]])
