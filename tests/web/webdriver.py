"""A small WebDriver client (the W3C protocol over HTTP, standard library only) for driving the
Debian chromium through chromedriver, and the page's own helpers built on it."""
import base64
import json
import time
import urllib.request

ELEMENT = "element-6066-11e4-a52e-4f735466cecf"
ESCAPE = "\ue00c"


class Browser:
    def __init__(self, driver_url, args):
        self.driver_url = driver_url
        options = {"binary": "/usr/bin/chromium", "args": args}
        caps = {"capabilities": {"alwaysMatch": {"browserName": "chrome", "goog:chromeOptions": options}}}
        self.session = self._call("POST", "/session", caps)["sessionId"]

    def _call(self, method, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request(self.driver_url + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=120) as response:
                return json.loads(response.read())["value"]
        except urllib.error.HTTPError as error:
            raise RuntimeError(f"{method} {path}: {error.read().decode(errors='replace')[:500]}") from None

    def _session(self, method, path, body=None):
        return self._call(method, f"/session/{self.session}{path}", body)

    def open(self, url):
        self._session("POST", "/url", {"url": url})

    def run(self, script, *args):
        return self._session("POST", "/execute/sync", {"script": script, "args": list(args)})

    def click(self, selector):
        element = self._session("POST", "/element", {"using": "css selector", "value": selector})[ELEMENT]
        self._session("POST", f"/element/{element}/click", {})

    def press(self, key):
        keys = [{"type": "keyDown", "value": key}, {"type": "keyUp", "value": key}]
        self._session("POST", "/actions", {"actions": [{"type": "key", "id": "keyboard", "actions": keys}]})

    def set_viewport(self, width, height):
        """Resizes the window so that the page's viewport is width x height CSS pixels."""
        inner = self.run("return [innerWidth, innerHeight]")
        rect = self._session("GET", "/window/rect")
        self._session("POST", "/window/rect", {"width": rect["width"] + width - inner[0],
                                                "height": rect["height"] + height - inner[1]})

    def screenshot(self, path):
        with open(path, "wb") as out:
            out.write(base64.b64decode(self._session("GET", "/screenshot")))

    def quit(self):
        try:
            self._session("DELETE", "")
        except Exception:
            pass

    # The page's state object (app/web/index.html).
    def intro(self):
        return self.run("return window.intro || null")

    def wait(self, what, condition, timeout):
        """Polls window.intro until condition(state) holds; fails after timeout seconds (a hang)."""
        deadline = time.monotonic() + timeout
        while True:
            state = self.intro()
            if state and condition(state):
                return state
            if time.monotonic() > deadline:
                raise AssertionError(f"no {what} within {timeout} s; the page says {state}")
            time.sleep(0.05)
