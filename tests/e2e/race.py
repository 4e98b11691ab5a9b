#!/usr/bin/python3
"""A race against a rival as a player drives it: set up in the chooser, the real binary under X, the
keys and the mouse through xdotool, the finish seen in the window and the standings read from
standard output.

Usage: race.py GAME TRACKS_DIR [unittest arguments], as play.py, whose game runs it borrows.
"""
import math
import os
import subprocess
import sys
import time
import unittest

from play import Journeys, differing

RADIUS = 40  # units: a ring the car drives round at 20 units a second with the mouse held still
RING = "".join(f"{RADIUS * math.sin(2 * math.pi * k / 24):.3f} {RADIUS * math.cos(2 * math.pi * k / 24):.3f} 0\n"
               for k in range(24))
# Half a degree a second for each pixel right of the centre column turns the car right.
STEER_X = 250 + round(20 / RADIUS * 180 / math.pi / 0.5)
CHOOSER = (26, 31, 41)  # the chooser's background


def shows_results(shot):
    """The results' yellow: the countdown's too, but only the results stand still."""
    return any(r == 255 and 228 <= g <= 231 and 50 <= b <= 52 for _, (r, g, b) in shot.getcolors(1 << 18))


def stands(game, shot):
    """Whether the picture stays as shot for longer than a step of the countdown lasts."""
    time.sleep(1.5)
    return differing(game.shot(), shot) == 0


class RaceJourney(unittest.TestCase):
    setUp, tearDown, play, track = Journeys.setUp, Journeys.tearDown, Journeys.play, Journeys.track

    def test_a_race_from_the_chooser_to_the_finish_and_its_standings(self):
        tracks = os.path.join(self.folder.name, "zarvanto", "tracks")
        os.makedirs(tracks)
        with open(os.path.join(tracks, "ring.tck"), "w") as f:
            f.write("#Track\nTest ring\n" + RING)
        game = self.play(self.folder.name, "--choose", data_home=self.folder.name)
        # The ring, a page on from the first track; a race of one lap (from three) against one easy
        # rival (from seven, down past none and back up one).
        game.keys("Prior", "Next", "r", "minus", "minus", "v", "v", *["Left"] * 8, "Right")
        game.keys("Return")
        first = game.wait_for("the grid", lambda shot: shot.getbbox() is not None and game.still(shot))
        game.keys("Up")  # the countdown starts, and the car will leave at the speed set now
        subprocess.run(["xdotool", "mousemove", "--window", game.window, str(STEER_X), "200"], check=True)
        game.keys("Up", "Up")
        time.sleep(10)  # the countdown and most of the lap, which takes the game's clock 15 s in all
        game.wait_for("the results", lambda shot: shows_results(shot) and stands(game, shot))
        self.assertGreater(len(first.getcolors(1 << 18)), 1)
        game.keys("Escape")  # back to the chooser
        game.wait_for("the chooser", lambda shot: all(abs(a - b) <= 2 for a, b in zip(shot.getpixel((2, 2)), CHOOSER)))
        with open(os.path.join(game.home.name, "zarvanto", "chooser")) as f:
            self.assertIn("race 1\nlaps 1\nlevel easy\n", f.read())
        game.keys("Escape")
        status, out, _ = game.finish()
        self.assertEqual(status, 0)
        lines = out.splitlines()
        self.assertEqual(lines[3], "Test ring, 1 lap, easy")
        self.assertRegex(lines[4], r"^1  red     0:\d\d\.\d\d  best 0:\d\d\.\d\d$")
        self.assertRegex(lines[5], r"^2  you     0:\d\d\.\d\d  best 0:\d\d\.\d\d$")
        self.assertEqual(len(lines), 6, out)  # printed at the finish, not again on leaving


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[3:]])
