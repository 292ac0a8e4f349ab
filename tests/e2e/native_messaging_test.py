"""Zellmate.exe as the browsers' native messaging host: started with the calling extension's origin,
fed length-prefixed JSON messages on its standard input the way a browser writes them, its answers
read back from its standard output; and the browser extension in a real (headless) Chromium that
starts Zellmate under Wine through a registered host manifest.

A stand-in for the ticker (zellmate_probe standin) owns the window "__@ZELLORA@__" and records the
commands it receives.
"""

import json
import os
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from winehelp import WM_CLOSE, StandinTicker, WineEnv, wait_until  # noqa: E402

ROOT = r"HKCU\Software\HOSHIRAI\Zellora"
MENU = r"HKCU\Software\Microsoft\Internet Explorer\MenuExt"
TITLE = "__@ZELLORA@__"
ORIGIN = "chrome-extension://njfelcioljopedogmojajlpfodpnbaim/"
FIREFOX_ID = "zellmate@hoshirai.jp"
FLASH_WORDS = ("特報", "号外", "緊急")


def frame(message):
    """One message as a browser writes it: its length in the machine's byte order, then UTF-8 JSON
    (or the bytes given)."""
    data = message if isinstance(message, bytes) else json.dumps(message, ensure_ascii=False).encode("utf-8")
    return struct.pack("=I", len(data)) + data


def unframe(data):
    """The answers in what the host wrote, each checked to be one whole frame."""
    answers = []
    while data:
        assert len(data) >= 4, data
        (length,) = struct.unpack("=I", data[:4])
        assert len(data) >= 4 + length, data
        answers.append(json.loads(data[4:4 + length].decode("utf-8")))
        data = data[4 + length:]
    return answers


def call(method, title, url, referrer=""):
    return {"method": method, "title": title, "url": url, "referrer": referrer}


OK = {"ok": True}


def error(reason):
    return {"ok": False, "error": reason}


class ZellmateSide(StandinTicker):
    """What the host works on: the URL list of the prefix and a stand-in ticker."""

    @classmethod
    def setUpClass(cls):
        cls.env = WineEnv()
        cls.env.prepare()
        cls.exe = cls.env.program("companion/Zellmate.exe")
        cls.probe = cls.env.program("companion/zellmate_probe.exe")

    def setUp(self):
        for name in ("Zellmate.exe", "zellmate_probe.exe"):
            self.env.kill_leftovers(name)
        self.addCleanup(self.env.kill_started)
        self.env.reg_delete(ROOT)
        self.assertIsNone(self.env.find_window(TITLE))

    def slots(self):
        """{slot number: {value: data}} of the URL list."""
        tree = self.env.reg_query(ROOT) or {}
        slots = {}
        for key, values in tree.items():
            m = re.search(r"(?:^|\\)URL([0-9A-F]{8})$", key, re.I)
            if m:
                slots[int(m.group(1), 16)] = values
        return slots

    def temp_entry(self):
        """The values of URL_List\\TEMP_URL, or None."""
        tree = self.env.reg_query(ROOT) or {}
        return next((v for k, v in tree.items() if k.upper().endswith("TEMP_URL")), None)


class NativeHostTest(ZellmateSide, unittest.TestCase):
    def host(self, stdin, *args, timeout=60):
        """Runs Zellmate.exe with args (the origin by default) on stdin to its end: (exit code,
        answers). A host that does not end by itself fails the test by the timeout."""
        r = subprocess.run([self.env.script, "exec", self.exe, *(args or (ORIGIN,))], env=self.env.environ(),
                           input=stdin, capture_output=True, timeout=timeout)
        return r.returncode, unframe(r.stdout)

    def test_messages_on_standard_input_add_and_send_pages_and_are_answered(self):
        log = self.start_standin()
        stdin = (frame(call("AddURL", "ページの題名", "http://127.0.0.1/page", "http://127.0.0.1/came-from"))
                 + frame(call("AddURL", "ページの題名", "http://127.0.0.1/page"))
                 + frame(call("AddURL", "", "http://127.0.0.1/untitled"))
                 + frame(call("SendURL", "リンク先の記事", "http://127.0.0.1/linked", "http://127.0.0.1/index")))
        rc, answers = self.host(stdin, ORIGIN, "--parent-window=0")
        self.assertEqual((rc, answers), (0, [OK, OK, OK, OK]))
        slots = self.slots()
        got = [(slots[i]["Title"], slots[i]["URL"], slots[i]["REFERRER"], slots[i]["Filter"]) for i in sorted(slots)]
        self.assertEqual(got, [("ページの題名", "http://127.0.0.1/page", "http://127.0.0.1/came-from", 40),
                               ("お気に入り(1)", "http://127.0.0.1/untitled", "", 40)])
        temp = self.temp_entry()
        word, _, rest = temp["Title"].partition("　")
        self.assertIn(word, FLASH_WORDS)
        self.assertEqual((rest, temp["URL"], temp["REFERRER"]),
                         ("リンク先の記事", "http://127.0.0.1/linked", "http://127.0.0.1/index"))
        self.assertTrue(wait_until(lambda: self.commands(log) == [10000, 10001, 11000], 5), self.commands(log))

        # Firefox's start: the manifest's path and the extension's id.
        manifest = r"C:\Program Files\HOSHIRAI\Zellora\zellmate-firefox.json"
        rc, answers = self.host(frame(call("AddURL", "二つ目", "http://127.0.0.1/second")), manifest, FIREFOX_ID)
        self.assertEqual((rc, answers), (0, [OK]))
        self.assertEqual(self.slots()[2]["Title"], "二つ目")
        self.assertTrue(wait_until(lambda: self.commands(log) == [10000, 10001, 11000, 10002], 5))

    def test_bad_input_gets_error_answers_and_the_host_ends(self):
        # A host start never registers the old browser's menu entries.
        self.env.reg_delete(MENU + "\\Zelloraに追加")
        self.env.reg_delete(MENU + "\\Zelloraに送る")
        cases = [
            # No ticker for SendURL, no address, not JSON, a length over 1 MiB that is never read.
            (frame(call("SendURL", "t", "http://127.0.0.1/s")) + frame(call("AddURL", "t", ""))
             + frame(b"{not json") + frame({"method": "RemoveURL"}) + struct.pack("=I", 0x100001) + b"{}",
             (ORIGIN,), 0,
             [error("Zellora is not running"), error("the URL is empty"), error("malformed JSON"),
              error("unknown method"), error("message too long")]),
            # A length that announces more than the input holds.
            (struct.pack("=I", 5000) + b'{"method":"AddURL"', (ORIGIN,), 0, [error("message cut short")]),
            # Another extension, in either browser.
            (frame(call("AddURL", "t", "http://127.0.0.1/x")), ("chrome-extension://abcdefghijklmnopabcdefghijklmnop/",),
             1, [error("extension not allowed")]),
            (frame(call("AddURL", "t", "http://127.0.0.1/x")), (r"C:\x\host.json", "other@example.org"), 1,
             [error("extension not allowed")]),
            # Nothing at all.
            (b"", (ORIGIN,), 0, []),
        ]
        for stdin, args, code, want in cases:
            started = time.monotonic()
            self.assertEqual(self.host(stdin, *args), (code, want), args)
            self.assertLess(time.monotonic() - started, 30)
        self.assertEqual(self.slots(), {})
        self.assertIsNone(self.temp_entry())
        self.assertFalse(self.env.reg_exists(MENU + "\\Zelloraに追加"))
        # The input is not waited for after a broken length: the pipe stays open, the host ends.
        p = subprocess.Popen([self.env.script, "exec", self.exe, ORIGIN], env=self.env.environ(),
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            p.stdin.write(struct.pack("=I", 0xFFFFFFFF))
            p.stdin.flush()
            self.assertEqual(p.wait(timeout=30), 0)
            self.assertEqual(unframe(p.stdout.read()), [error("message too long")])
        finally:
            p.kill()
            p.stdin.close()
            p.stdout.close()


class DevTools:
    """Headless Chromium driven through the DevTools protocol over a pipe (--remote-debugging-pipe:
    JSON messages ending in a zero byte, commands on descriptor 3, answers and events on 4), so no
    WebSocket library is needed."""

    FLAGS = ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--remote-debugging-pipe", "--enable-unsafe-extension-debugging"]

    def __init__(self, profile, log):
        to_browser, self._to_browser = os.pipe()
        self._from_browser, from_browser = os.pipe()

        def descriptors():
            os.dup2(to_browser, 3)
            os.dup2(from_browser, 4)

        self.process = subprocess.Popen(
            [shutil.which("chromium"), *self.FLAGS, "--user-data-dir=" + str(profile), "about:blank"],
            preexec_fn=descriptors, pass_fds=(3, 4), stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        os.close(to_browser)
        os.close(from_browser)
        self._buffer = b""
        self._id = 0

    def call(self, method, params=None, session=None, timeout=60):
        """Sends one command and returns its result; raises on an error or when none comes."""
        self._id += 1
        message = {"id": self._id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            while b"\0" in self._buffer:
                text, self._buffer = self._buffer.split(b"\0", 1)
                answer = json.loads(text)
                if answer.get("id") == self._id:
                    if "error" in answer:
                        raise RuntimeError(f"{method}: {answer['error']}")
                    return answer["result"]
            ready, _, _ = select.select([self._from_browser], [], [], 0.5)
            if ready:
                data = os.read(self._from_browser, 1 << 16)
                if not data:
                    raise RuntimeError(f"{method}: the browser closed the pipe")
                self._buffer += data
        raise RuntimeError(f"{method}: no answer in {timeout} s")

    def evaluate(self, session, expression, timeout=120):
        """The value of an expression (awaited when it is a promise) in an attached target."""
        result = self.call("Runtime.evaluate", {"expression": expression, "awaitPromise": True,
                                                "returnByValue": True}, session, timeout)
        if "exceptionDetails" in result:
            raise RuntimeError(json.dumps(result["exceptionDetails"])[:2000])
        return result["result"].get("value")

    def close(self):
        try:
            self.call("Browser.close", timeout=10)
        except (RuntimeError, OSError):
            pass
        try:
            self.process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self._to_browser)
        os.close(self._from_browser)


@unittest.skipUnless(shutil.which("chromium"), "Chromium is not installed")
class BrowserTest(ZellmateSide, unittest.TestCase):
    """The unpacked extension in Debian's Chromium, its host manifest registered for Chromium on
    Linux with a wrapper that starts Zellmate.exe under Wine in this build's prefix; the click
    handler called in the extension's service worker."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.extension = cls.env.program("companion/extension/zellora-extension")
        cls.register = [sys.executable, str(cls.env.source_dir / "tools" / "register_native_host.py"),
                        "chromium-linux", "--exe", cls.env.program("companion/Zellmate.exe"),
                        "--wine-home", str(cls.env.wine_home)]

    def setUp(self):
        super().setUp()
        self.profile = Path(tempfile.mkdtemp(prefix="chromium-", dir=str(self.env.tmp_dir)))
        subprocess.run(self.register + ["--profile", str(self.profile)], check=True, stdout=subprocess.DEVNULL)
        self.log = open(self.env.tmp_dir / "chromium.log", "ab")
        self.addCleanup(self.log.close)
        self.browser = DevTools(self.profile, self.log)
        self.addCleanup(self.browser.close)

    def service_worker(self):
        """Loads the unpacked extension and attaches to its service worker: the session id."""
        loaded = self.browser.call("Extensions.loadUnpacked", {"path": self.extension})
        self.assertEqual(loaded["id"], ORIGIN.split("/")[2], "the manifest's key fixes the extension's id")
        worker = None
        end = time.monotonic() + 30
        while worker is None and time.monotonic() < end:
            targets = self.browser.call("Target.getTargets")["targetInfos"]
            worker = next((t for t in targets if t["type"] == "service_worker" and t["url"].startswith(ORIGIN)), None)
            time.sleep(0.2)
        self.assertIsNotNone(worker, "the extension's service worker did not start")
        session = self.browser.call("Target.attachToTarget", {"targetId": worker["targetId"], "flatten": True})["sessionId"]
        # The worker may still be starting its script.
        self.assertTrue(wait_until(lambda: self.browser.evaluate(session, "typeof handleMenuClick") == "function", 30),
                        "handleMenuClick is not a top-level function of the service worker")
        return session

    def click(self, session, info, tab):
        """handleMenuClick in the service worker; its result with the badge and the button's title."""
        return self.browser.evaluate(session, f"""(async () => {{
            const [tab] = await chrome.tabs.query({{}});
            const error = await handleMenuClick({json.dumps(info)}, {{ ...{json.dumps(tab)}, id: tab.id }});
            return {{ error, badge: await chrome.action.getBadgeText({{}}), title: await chrome.action.getTitle({{}}) }};
        }})()""")

    def test_the_menu_handler_in_chromium_hands_pages_to_zellmate_under_wine(self):
        log = self.start_standin()
        session = self.service_worker()

        page = {"menuItemId": "zellora-add", "pageUrl": "http://127.0.0.1/browser-page"}
        got = self.click(session, page, {"title": "ブラウザのページ", "url": page["pageUrl"]})
        self.assertEqual(got, {"error": None, "badge": "", "title": "Zellora"})
        link = {"menuItemId": "zellora-send", "linkUrl": "http://127.0.0.1/linked", "pageUrl": page["pageUrl"]}
        self.assertEqual(self.click(session, link, {})["error"], None)

        slots = self.slots()
        # No click granted the extension the tab, so the page could not be read: no referrer.
        self.assertEqual([(v["Title"], v["URL"], v["REFERRER"]) for _, v in sorted(slots.items())],
                         [("ブラウザのページ", "http://127.0.0.1/browser-page", "")])
        temp = self.temp_entry()
        self.assertEqual((temp["Title"].partition("　")[2], temp["URL"], temp["REFERRER"]),
                         ("http://127.0.0.1/linked", "http://127.0.0.1/linked", "http://127.0.0.1/browser-page"))
        self.assertTrue(wait_until(lambda: self.commands(log) == [10000, 11000], 10),
                        self.commands(log))

        # The ticker gone, a page cannot be sent: the badge says why.
        self.env.post(TITLE, WM_CLOSE)
        self.assertTrue(self.env.wait_window_gone(TITLE))
        got = self.click(session, link, {})
        self.assertEqual(got, {"error": "Zellora is not running", "badge": "!",
                               "title": "Zelloraに渡せませんでした：Zellora is not running"})
        # Without the host's registration (Zellora not installed) the browser cannot start it.
        subprocess.run(self.register + ["--profile", str(self.profile), "--unregister"], check=True)
        got = self.click(session, page, {"title": "x"})
        self.assertEqual(got["badge"], "!")
        self.assertTrue(got["error"], got)
        self.assertEqual(got["title"], "Zelloraに渡せませんでした：" + got["error"])
        print(f"without a registered host Chromium says: {got['error']}", file=sys.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
