"""The page in headless Chromium: its first picture, the demo race, a key, a dropped track, and
the player's files across a reload. Usage: test_page.py BUILD-WEB-FOLDER ZARVANTO-TRACK"""
import functools, http.server, os, subprocess, sys, tempfile, threading, time, unittest

from PIL import Image

from browser import Browser

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PAGE_FOLDER = None
TRACK_TOOL = None  # the desktop's track tool, which names a track's record as the desktop game does
ROAD = (102, 102, 102)
HUD_TEXT = (204, 102, 204)
PAUSED_TEXT = (255, 153, 0)
OWN_TRACKS = '/home/web_user/.local/share/zarvanto/tracks'
RECORDS = '/home/web_user/.local/share/zarvanto/records'


def count(picture, colour):
    return sum(1 for pixel in picture.getdata() if pixel == colour)


def differing(a, b):
    return sum(1 for p, q in zip(a.getdata(), b.getdata()) if p != q)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        handler = functools.partial(QuietHandler, directory=PAGE_FOLDER)
        cls.server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()
        cls.address = f'http://127.0.0.1:{cls.server.server_address[1]}/zarvanto.html'

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()

    def setUp(self):
        self.profile = tempfile.TemporaryDirectory(ignore_cleanup_errors=True)
        self.browser = Browser(self.profile.name)
        self.addCleanup(self.profile.cleanup)
        self.addCleanup(self.browser.close)

    def first_picture(self, query, wanted_colour, what):
        self.browser.open(self.address + query)
        picture = None
        def shown():
            nonlocal picture
            try:
                picture = self.browser.canvas()
            except RuntimeError:
                return False  # the page is not there yet
            return count(picture, wanted_colour) > 50
        wait(shown, what)
        return picture

    def test_the_race_of_a_command_line_its_keys_and_its_demo(self):
        start = self.first_picture('?args=Default.tck%203', PAUSED_TEXT, 'the paused race')
        # The desktop's first picture of the same race, but for the edges WebGL rounds apart (680).
        desktop = Image.open(os.path.join(ROOT, 'tests', 'pictures', 'paused.png')).convert('RGB')
        self.assertLess(differing(start.convert('RGB'), desktop), 2000, "the desktop game's picture")
        # Enter resumes the race: PAUSED goes.
        self.browser.key('Enter', 'Enter', 13, '\r')
        wait(lambda: count(self.browser.canvas(), PAUSED_TEXT) == 0, 'the race resumed by Enter')
        # A pad in the browser's standard mapping, as the Gamepad API hands it over: Start pauses as
        # p does, and so does pulling the pad out of a running race; a trigger past half its travel
        # steps the speed as an arrow does, which resumes the race: the left one down, the right up.
        self.browser.evaluate('''window.pad = {connected: true, index: 0, id: 'pad', mapping: 'standard',
            timestamp: 0, axes: [0, 0, 0, 0], buttons: [...Array(17)].map(() => ({pressed: false, value: 0}))};
            navigator.getGamepads = () => [pad]''')
        for pad, how, trigger in (('{...pad, buttons: pad.buttons.map((b, i) => ({pressed: i == 9, value: +(i == 9)}))}',
                                   'Start', 6), ('null', 'the pad pulled out', 7)):
            self.browser.evaluate(f'navigator.getGamepads = () => [{pad}]')
            wait(lambda: count(self.browser.canvas(), PAUSED_TEXT) > 50, f'the race paused by {how}')
            self.browser.evaluate(f'navigator.getGamepads = () => [pad]; pad.buttons.forEach((b, i) => '
                                  f'b.value = i == {trigger} ? 0.55 : 0)')
            wait(lambda: count(self.browser.canvas(), PAUSED_TEXT) == 0, f'the race resumed by trigger {trigger}')
        # Escape comes back to the chooser and the page goes on.
        self.browser.key('Escape', 'Escape', 27)
        wait(lambda: count(self.browser.canvas(), ROAD) < 1000, 'the chooser after Escape')
        self.assertFalse(self.browser.evaluate('ABORT'))

        demo = self.first_picture('?args=Default.tck%203&demo', ROAD, 'the demo race')
        # It ends as it paused, in another place, with the help over it: its keys all reached the game.
        ended = lambda picture: count(picture, PAUSED_TEXT) > 50 and count(picture, HUD_TEXT) > 3000 and \
            differing(picture, demo) > 20000
        wait(lambda: ended(self.browser.canvas()), 'the demo race ended: the help over it, paused')

        # A start the command line refuses says so on the page, in the game's words.
        self.browser.open(self.address + '?args=nothere.tck')
        wait(lambda: self.browser.evaluate('(document.getElementById("message") || {}).textContent') ==
             "Can't open track file", 'the refusal of a missing track')

    def test_dropped_tracks_records_and_what_the_chooser_keeps_survive_a_reload(self):
        self.first_picture('', HUD_TEXT, 'the chooser')
        for name in ('square.tck', 'empty.tck'):
            with open(os.path.join(ROOT, 'tests', 'tracks', name)) as track:
                text = track.read()
            self.browser.evaluate(f'''(() => {{
                const data = new DataTransfer();
                data.items.add(new File([{text!r}], {name!r}));
                window.dispatchEvent(new DragEvent('drop', {{dataTransfer: data, cancelable: true}}));
            }})()''')
            wait(lambda: name in self.browser.evaluate('document.getElementById("message").textContent'),
                 f'the answer to {name}')
            answer = self.browser.evaluate('document.getElementById("message").textContent')
            self.assertTrue(answer == 'square.tck is now among your tracks' if name == 'square.tck'
                            else 'among your tracks' not in answer, answer)  # an empty file is refused
        listed = self.browser.evaluate(f'FS.readdir("{OWN_TRACKS}")')
        self.assertEqual(sorted(listed), ['.', '..', 'square.tck'])
        # Enter races the selected track, the one dropped, and keeps it as the chooser's choice.
        writes = self.browser.evaluate('window.zvWrites')
        self.browser.key('Enter', 'Enter', 13, '\r')
        wait(lambda: self.browser.evaluate(f'window.zvWrites > {writes}'), 'the settings written out')
        # A lap of the square at 40, stood at each corner reached by r and sent on: the first lap
        # is the record, kept with its ghost.
        for corner in range(4):
            if corner:
                self.browser.key('r', 'KeyR', 82, 'r')
            for _ in range(4):
                self.browser.key('ArrowUp', 'ArrowUp', 38)
            time.sleep(4)
        kept = f'FS.analyzePath("{RECORDS}").exists ? FS.readdir("{RECORDS}").filter(n => n.endsWith(".rec")) : []'
        wait(lambda: self.browser.evaluate(kept), 'the lap record written out')
        record = self.browser.evaluate(kept)
        # Named by the track's digest exactly as the desktop names it, so a record carries over.
        with tempfile.TemporaryDirectory() as home:
            listed = subprocess.run([TRACK_TOOL, 'records', os.path.join(ROOT, 'tests', 'tracks', 'square.tck')],
                                    env={'HOME': home}, capture_output=True, text=True, check=True).stdout
        self.assertEqual(record, [os.path.basename(listed.splitlines()[1].strip())], listed)

        self.browser.reload()
        wait(lambda: self.browser.evaluate('typeof Module !== "undefined" && Module.calledRun === true'), 'the reload')
        settings = self.browser.evaluate('FS.readFile("/home/web_user/.config/zarvanto/chooser", {encoding: "utf8"})')
        self.assertIn(f'track {OWN_TRACKS}/square.tck\n', settings)
        self.assertIn('square.tck', self.browser.evaluate(f'FS.readdir("{OWN_TRACKS}")'))
        self.assertEqual(self.browser.evaluate(kept), record)


def wait(condition, what, seconds=90):
    """Until the condition holds; the limit only ends a page that never gets there."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if condition():
            return
        time.sleep(0.2)
    raise AssertionError(f'{what}: not within {seconds} s')


if __name__ == '__main__':
    PAGE_FOLDER = os.path.abspath(sys.argv.pop(1))
    TRACK_TOOL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
