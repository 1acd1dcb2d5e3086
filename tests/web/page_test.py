"""The show's page in headless Chromium: the deterministic check against the native capture's
hashes, a page whose sound cannot start, Escape in a scene, and one whole real-time run with
screenshots. Prints one line per case and 'N passed, N failed' last; exit status 1 on a failure.

  page_test.py --site URL --driver URL --expected FILE --screenshots DIR [CASE...]

Run it through tests/web/run.
"""
import argparse
import os
import sys
import tempfile
import time
import traceback

from webdriver import ESCAPE, Browser

# Generous limits that only catch a hang: the whole show lasts about 96 s.
LOAD_TIMEOUT = 120
SHOW_TIMEOUT = 600


def chromium_args(profile):
    return ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--disable-dev-shm-usage", "--autoplay-policy=user-gesture-required", "--window-size=1280,960",
            f"--user-data-dir={profile}"]


def brightness(browser):
    """The mean of the canvas's red, green and blue bytes, 0-255."""
    return browser.run("""
        var c = document.getElementById('screen'), d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
        var sum = 0; for (var i = 0; i < d.length; i += 4) sum += d[i] + d[i + 1] + d[i + 2];
        return sum / (d.length / 4) / 3;""")


def at(order, row):
    return lambda s: s["state"] == "ended" or (s["order"], s["row"]) >= (order, row)


def case_check(browser, options):
    """?check runs the show on the stepped clock and prints the hashes the native capture prints."""
    with open(options.expected) as expected:
        wanted = [line.strip() for line in expected if line.strip()]
    browser.open(options.site + "?check")
    state = browser.wait("end of the check", lambda s: s["state"] == "ended", SHOW_TIMEOUT)
    got = [line.strip() for line in state["output"] if line.startswith(("frames ", "sound "))]
    assert got == wanted, f"the page's hashes {got} differ from the native capture's {wanted}"
    assert state["exitStatus"] == 0, state


def case_silent(browser, options):
    """A sound context that never starts (as a browser's autoplay rule leaves it): the show plays
    on its silent clock and the page says there is no sound."""
    browser.open(options.site)
    browser.wait("page", lambda s: s["state"] == "waiting", LOAD_TIMEOUT)
    # 1.7 times 640 x 480: smoothly scaled.
    browser.set_viewport(1280, 816)
    assert browser.run("return getComputedStyle(document.getElementById('screen')).imageRendering") == "auto"
    browser.run("""window.AudioContext = function () {
        return {state: 'suspended', resume: function () { return new Promise(function () {}); }, close: function () {}};
    };""")
    browser.click("#note")
    state = browser.wait("song", lambda s: s["state"] == "playing" and s["row"] >= 8, LOAD_TIMEOUT)
    assert not state["soundRunning"], state
    assert browser.run("return document.getElementById('sound').textContent") == "no sound"
    browser.press(ESCAPE)
    state = browser.wait("end", lambda s: s["state"] == "ended", LOAD_TIMEOUT)
    assert state["exitStatus"] == 0, state


def case_escape(browser, options):
    """A click starts the show with sound; Escape in the wire lattice ends it with status 0; a
    click then plays it again from the start, and Escape during its title ends that too."""
    browser.open(options.site)
    browser.wait("page", lambda s: s["state"] == "waiting", LOAD_TIMEOUT)
    browser.click("#note")
    state = browser.wait("the lattice", lambda s: s["state"] == "playing" and s["order"] == 2, SHOW_TIMEOUT)
    assert state["soundRunning"], state
    browser.press(ESCAPE)
    state = browser.wait("end", lambda s: s["state"] == "ended", LOAD_TIMEOUT)
    assert state["exitStatus"] == 0, state
    assert state["ordersSeen"] == [0, 1, 2], state["ordersSeen"]
    assert browser.run("return document.getElementById('note').textContent").startswith("ended")
    browser.click("#note")
    state = browser.wait("the title again", lambda s: s["state"] == "playing" and s["row"] >= 4, LOAD_TIMEOUT)
    assert state["order"] == 0 and state["soundRunning"], state
    browser.press(ESCAPE)
    state = browser.wait("second end", lambda s: s["state"] == "ended", LOAD_TIMEOUT)
    assert state["exitStatus"] == 0 and state["ordersSeen"] == [0], state


def case_show(browser, options):
    """The whole show in real time: every order in sequence, status 1 at the end, and a screenshot
    of each part."""
    shots = options.screenshots
    browser.open(options.site)
    browser.wait("page", lambda s: s["state"] == "waiting", LOAD_TIMEOUT)
    # Twice 640 x 480 on the screen: whole pixels, drawn crisp.
    browser.set_viewport(1280, 960)
    assert browser.run("return getComputedStyle(document.getElementById('screen')).imageRendering") == "pixelated"
    browser.screenshot(os.path.join(shots, "0-waiting.png"))
    browser.click("#note")
    state = browser.wait("loading screen", lambda s: s["state"] != "starting" and s["framesPresented"] > 0,
                         LOAD_TIMEOUT)
    if state["state"] == "loading":
        browser.screenshot(os.path.join(shots, "1-loading.png"))
    moments = [("2-title", 0, 30), ("3-cube", 2, 20), ("4-ring", 4, 8), ("5-cloud", 5, 40), ("6-credits", 8, 56)]
    for name, order, row in moments:
        state = browser.wait(name, at(order, row), SHOW_TIMEOUT)
        assert state["state"] == "playing", f"ended before {name}: {state}"
        browser.screenshot(os.path.join(shots, name + ".png"))
        if name == "2-title":
            assert brightness(browser) > 160, "the title is black on white"
            assert state["soundRunning"], state
        if name == "3-cube":
            assert 10 < brightness(browser) < 120, "the lattice is grey lines on slate blue"
    state = browser.wait("end", lambda s: s["state"] == "ended", SHOW_TIMEOUT)
    browser.screenshot(os.path.join(shots, "7-ended.png"))
    assert state["exitStatus"] == 1, state
    assert state["ordersSeen"] == list(range(10)), state["ordersSeen"]
    assert brightness(browser) < 1, "the fade ends black"


CASES = {"check": case_check, "silent": case_silent, "escape": case_escape, "show": case_show}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--site", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--expected", required=True)
    parser.add_argument("--screenshots", required=True)
    parser.add_argument("cases", nargs="*", default=list(CASES))
    options = parser.parse_args()
    os.makedirs(options.screenshots, exist_ok=True)
    passed = failed = 0
    for name in options.cases:
        started = time.monotonic()
        with tempfile.TemporaryDirectory() as profile:
            browser = Browser(options.driver, chromium_args(profile))
            try:
                CASES[name](browser, options)
                passed += 1
                print(f"web: {name} passed ({time.monotonic() - started:.0f} s)", flush=True)
            except Exception:
                failed += 1
                print(f"web: {name} FAILED", flush=True)
                traceback.print_exc()
            finally:
                browser.quit()
    print(f"web: {passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
