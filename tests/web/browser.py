"""Headless Chromium driven over its DevTools pipe: the page's scripts, keys and pixels."""
import base64
import io
import json
import os
import subprocess

from PIL import Image

FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--autoplay-policy=user-gesture-required',
         '--window-size=800,700', '--remote-debugging-pipe']


class Browser:
    """One Chromium with one page, on a profile folder of its own (kept across reloads)."""

    def __init__(self, profile):
        to_browser_r, self._to_browser = os.pipe()
        self._from_browser, from_browser_w = os.pipe()
        # The DevTools pipe is the child's descriptors 3 (in) and 4 (out), kept past the closing of
        # the others, which comes after this.
        def wire():
            os.dup2(to_browser_r, 3)
            os.dup2(from_browser_w, 4)
        # Headless needs no X server, and one named but gone (a test run's Xvfb, ended) stalls it.
        quiet = {name: value for name, value in os.environ.items() if name != 'DISPLAY'}
        self.process = subprocess.Popen(['chromium', *FLAGS, f'--user-data-dir={profile}', 'about:blank'],
                                        pass_fds=(3, 4, to_browser_r, from_browser_w), preexec_fn=wire,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=quiet)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self._buffer = b''
        self._next_id = 0
        target = self._call('Target.createTarget', {'url': 'about:blank'})['targetId']
        self._session = self._call('Target.attachToTarget', {'targetId': target, 'flatten': True})['sessionId']
        for domain in ('Page.enable', 'Runtime.enable'):
            self.call(domain)

    def close(self):
        self.process.kill()
        self.process.wait()
        os.close(self._to_browser)
        os.close(self._from_browser)

    def _read_message(self):
        while b'\0' not in self._buffer:
            chunk = os.read(self._from_browser, 1 << 16)
            if not chunk:
                raise RuntimeError('Chromium closed its DevTools pipe')
            self._buffer += chunk
        text, self._buffer = self._buffer.split(b'\0', 1)
        return json.loads(text)

    def _call(self, method, params=None, session=None):
        self._next_id += 1
        message = {'id': self._next_id, 'method': method, 'params': params or {}}
        if session:
            message['sessionId'] = session
        os.write(self._to_browser, json.dumps(message).encode() + b'\0')
        while True:
            reply = self._read_message()
            if reply.get('id') == self._next_id:
                if 'error' in reply:
                    raise RuntimeError(f'{method}: {reply["error"]}')
                return reply['result']

    def call(self, method, params=None):
        return self._call(method, params, self._session)

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
