"""Headless Chromium driven by ChromeDriver, through its DevTools commands: the page's scripts, keys
and pixels."""
import base64
import io
import os

from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service

FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--autoplay-policy=user-gesture-required',
         '--window-size=800,700']


class Browser:
    """One Chromium with one page, on a profile folder of its own (kept across reloads)."""

    def __init__(self, profile):
        options = webdriver.ChromeOptions()
        options.binary_location = '/usr/bin/chromium'
        for flag in FLAGS + [f'--user-data-dir={profile}']:
            options.add_argument(flag)
        # Headless needs no X server, and one named but gone (a test run's Xvfb, ended) stalls it.
        quiet = {name: value for name, value in os.environ.items() if name != 'DISPLAY'}
        self.driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver', env=quiet), options=options)
        self.call = self.driver.execute_cdp_cmd

    def close(self):
        self.driver.quit()

    def open(self, url):
        self.call('Page.navigate', {'url': url})

    def reload(self):
        self.call('Page.reload', {'ignoreCache': False})

    def evaluate(self, expression):
        result = self.call('Runtime.evaluate', {'expression': expression, 'returnByValue': True,
                                                 'awaitPromise': True})
        if 'exceptionDetails' in result:
            raise RuntimeError(f'{expression}: {result["exceptionDetails"]}')
        return result['result'].get('value')

    def key(self, key, code, key_code, text=None):
        base = {'key': key, 'code': code, 'windowsVirtualKeyCode': key_code, 'nativeVirtualKeyCode': key_code}
        down = dict(base, type='keyDown', **({'text': text} if text else {}))
        self.call('Input.dispatchKeyEvent', down)
        self.call('Input.dispatchKeyEvent', dict(base, type='keyUp'))

    def canvas(self):
        """The canvas's pixels as the page shows them."""
        box = self.evaluate('(() => { const r = document.getElementById("canvas").getBoundingClientRect();'
                            ' return [r.x, r.y, r.width, r.height]; })()')
        shot = self.call('Page.captureScreenshot', {'format': 'png', 'clip': {
            'x': box[0], 'y': box[1], 'width': box[2], 'height': box[3], 'scale': 1}})
        return Image.open(io.BytesIO(base64.b64decode(shot['data']))).convert('RGB')
