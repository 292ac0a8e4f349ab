"""Zellmate.exe as the browsers' native messaging host: started with the calling extension's origin,
fed length-prefixed JSON messages on its standard input the way a browser writes them, its answers
read back from its standard output; and the browser extension in a real (headless) Chromium that
starts Zellmate under Wine through a registered host manifest.

A stand-in for the ticker (zellmate_probe standin) owns the window "__@ZELLORA@__" and records the
commands it receives.
"""

import json
import re
import struct
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from winehelp import WM_CLOSE, WineEnv, wait_until, win_path  # noqa: E402

ROOT = r"HKCU\Software\HOSHIRAI\Zellora"
LIST = ROOT + r"\URL_List"
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


class NativeHostTest(unittest.TestCase):
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

    def host(self, stdin, *args, timeout=60):
        """Runs Zellmate.exe with args (the origin by default) on stdin to its end: (exit code,
        answers). A host that does not end by itself fails the test by the timeout."""
        r = subprocess.run([self.env.script, "exec", self.exe, *(args or (ORIGIN,))], env=self.env.environ(),
                           input=stdin, capture_output=True, timeout=timeout)
        return r.returncode, unframe(r.stdout)

    def start_standin(self):
        log = self.env.tmp_dir / f"commands-{time.monotonic_ns()}.txt"
        log.touch()
        p = self.env.start(self.probe, "standin", win_path(log))
        self.assertTrue(self.env.wait_window(TITLE), "the stand-in ticker did not appear")
        self.addCleanup(self.stop_standin, p)
        return log

    def stop_standin(self, p):
        if p.alive():
            self.env.post(TITLE, WM_CLOSE)
            p.wait(10)
            p.kill()

    @staticmethod
    def commands(log):
        return [int(line) for line in log.read_text().split()]

    def slots(self):
        """{slot number: {value: data}} of the URL list."""
        tree = self.env.reg_query(ROOT) or {}
        slots = {}
        for key, values in tree.items():
            m = re.search(r"(?:^|\\)URL([0-9A-F]{8})$", key, re.I)
            if m:
                slots[int(m.group(1), 16)] = values
        return slots

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
        temp = next(v for k, v in self.env.reg_query(ROOT).items() if k.upper().endswith("TEMP_URL"))
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
        self.assertFalse(self.env.reg_exists(LIST + r"\TEMP_URL"))
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


if __name__ == "__main__":
    unittest.main(verbosity=2)
