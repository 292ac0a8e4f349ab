"""Zellora.exe against hostile peers: web servers that stall, never end, never end a line, break
off, redirect without end, answer with garbage or promise 2 GB, and the companion handing it
10 000-character titles and addresses and text that is not Shift_JIS. The ticker must keep
rotating, keep its memory bounded, end within 7 s at any moment, and take what it is handed.

Screenshots go to ZELLORA_SHOTS (a folder) when it is set, else to the test's temporary folder.
Each test prints what it measured (resident sizes, shutdown times) on standard error."""

import sys
import time
import unittest
from pathlib import Path
from urllib.parse import quote

sys.path.insert(0, str(Path(__file__).resolve().parent))
import screenshots  # noqa: E402
from ticker_screen_test import KEY, TICKER, TITLE, YELLOW, TickerRun  # noqa: E402
from winehelp import WM_COMMAND, WM_NULL, wait_until, win_path  # noqa: E402

LIST = KEY + r"\URL_List"
SHOW_SLOT = 10000

# A headline line of a page that never ends (it is long enough for the level of every slot).
ENDLESS_LINE = quote('<li><a href="/n">地域の話題を順にお伝えしています</a></li>\n'.encode("cp932"))
# Markup without a line feed, for ever: a minified page that never finishes.
ENDLESS_MARKUP = quote('<span class="k">あ</span>'.encode("cp932"))


class HostilePeersTest(TickerRun, unittest.TestCase):
    def setUp(self):
        self.fresh_ticker()
        # The bar, the fastest scroll, one pass, 1 s between sources, registration order.
        for name, value in (("Howto", 0), ("Speed", 0), ("loopCount", 0), ("Sleep", 0), ("Order", 0)):
            self.env.reg_add(KEY + r"\Option", name, value)
        self.env.run("xdotool", "mousemove", "600", "300")

    # --- the sources ---

    def base(self):
        return "http://127.0.0.1:%d" % self.server.port

    def sources(self):
        """(name, URL) of the hostile sources, then the good page last."""
        b = self.base()
        return [
            # Headers, then 3 s of silence before the page.
            ("stall", b + "/page?file=news.html&stall=0&stall_secs=3&src=stall"),
            # Lines for ever, without a length: the reader's body limit ends it.
            ("endless", b + "/page?body=" + ENDLESS_LINE + "&endless=1&mode=close&src=endless"),
            # One line for ever.
            ("oneline", b + "/page?body=" + ENDLESS_MARKUP + "&endless=1&mode=close&src=oneline"),
            # Content-Length announced, the connection closed in the middle.
            ("cut", b + "/page?file=news.html&repeat=50&cut=3000&src=cut"),
            # Ten thousand redirects.
            ("redirects", b + "/redirect?chain=10000&to=/page%3Ffile%3Dnews.html&src=redirects"),
            # Random bytes instead of an HTTP answer.
            ("garbage", b + "/garbage?bytes=300000&seed=7&src=garbage"),
            # 2 GB announced, 100 000 bytes sent, then the connection closed.
            ("2GB", b + "/page?body=" + ENDLESS_LINE + "&endless=1&length=2147483648&cut=100000&src=2GB"),
            # A short cut page (its error line is the shortest to scroll), then the good page.
            ("short", b + "/files/news.html?cut=9"),
            ("good", b + "/page?file=news.html&src=good"),
        ]

    def add_sources(self):
        names = []
        for slot, (name, url) in enumerate(self.sources()):
            self.add_slot(slot, "源" + name, url)
            names.append(name)
        return names

    def requests_of(self, marker):
        return [r for r in self.server.requests() if marker in r]

    def wait_idle(self, timeout=120):
        """True once the ticker's thread answers a message again, i.e. the fetch is over."""
        return wait_until(lambda: self.env.send(TICKER, WM_NULL) is not None, timeout, 0.2)

    def ticker_pid(self):
        pids = self.env.pids_of("Zellora.exe")
        self.assertEqual(len(pids), 1, pids)
        return pids[0]

    def bar_yellow(self, save_as=None):
        shot = screenshots.take(self.env, save_as)
        return shot.count(YELLOW, shot.height - 20, shot.height)

    # --- tests ---

    def test_rotation_goes_on_past_hostile_sources_and_memory_stays_bounded(self):
        names = self.add_sources()
        good = names.index("good")
        p = self.start()
        self.assertTrue(wait_until(lambda: self.requests_of("src=stall"), 20), "slot 0 was not fetched")

        # Left alone after a hostile source, the ticker scrolls its error line and goes on to the
        # next slot by itself: the good page comes round and its headlines paint the bar.
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, SHOW_SLOT + good - 1, 0))
        self.assertTrue(wait_until(lambda: self.requests_of("/files/news.html?cut=9"), 30))
        asked = time.monotonic()
        self.assertTrue(wait_until(lambda: self.requests_of("src=good"), 150, 0.5), "the good page never came")
        print("short error line to the good page by itself: %.0f s" % (time.monotonic() - asked), file=sys.stderr)
        self.assertTrue(wait_until(lambda: self.bar_yellow() > 20, 10, 0.3), "the good page does not paint")
        self.bar_yellow(self.shots / "hostile-good-page.png")

        # 100 fetches of the hostile sources and the good page, as the favourites menu asks for
        # them: each goes to the server, and the ticker's thread is free again afterwards.
        resident = {}
        durations = {name: [] for name in names}
        started = time.monotonic()
        # Counted so that fetches 10 and 100, where the resident size is read, are the good page.
        offset = (good - 100) % len(names)
        for n in range(1, 101):
            slot = (n + offset) % len(names)
            before = len(self.server.requests())
            t0 = time.monotonic()
            self.assertTrue(self.env.post(TITLE, WM_COMMAND, SHOW_SLOT + slot, 0))
            self.assertTrue(wait_until(lambda: len(self.server.requests()) > before, 30, 0.05),
                            "fetch %d (%s) never reached the server" % (n, names[slot]))
            self.assertTrue(self.wait_idle(), "fetch %d (%s) did not end" % (n, names[slot]))
            durations[names[slot]].append(time.monotonic() - t0)
            self.assertTrue(p.alive(), "ended during fetch %d (%s)" % (n, names[slot]))
            if names[slot] == "garbage" and n < 10:
                time.sleep(1.0)
                self.bar_yellow(self.shots / "hostile-garbage.png")
            if n in (10, 100):
                time.sleep(1.0)
                resident[n] = self.env.resident_kib(self.ticker_pid())
        print("100 fetches in %.0f s; resident after 10: %d KiB, after 100: %d KiB (%+.1f %%)"
              % (time.monotonic() - started, resident[10], resident[100],
                 100.0 * (resident[100] - resident[10]) / resident[10]), file=sys.stderr)
        print("seconds per fetch: " + ", ".join("%s %.1f" % (k, max(v)) for k, v in durations.items()),
              file=sys.stderr)
        self.assertLessEqual(resident[100], resident[10] * 1.10, resident)

        # Every hostile source was given up within bounds: the redirect chain after ten hops.
        self.assertEqual(len(self.requests_of("chain=")), len(durations["redirects"]) * 11)

        # The last fetch was the good page: the bar still paints and scrolls.
        self.assertTrue(wait_until(lambda: self.bar_yellow() > 20, 10, 0.3))
        a = screenshots.take(self.env, self.shots / "hostile-after-100.png")
        time.sleep(1.0)
        b = screenshots.take(self.env)
        self.assertNotEqual(a.columns_with(YELLOW, a.height - 20, a.height),
                            b.columns_with(YELLOW, b.height - 20, b.height), "the bar stands still")
        self.quit(p)

    def test_exit_ends_within_seven_seconds_while_a_hostile_fetch_runs(self):
        b = self.base()
        cases = [
            ("silent after the headers", b + "/page?file=news.html&stall=0&stall_secs=120&src=quit-stall"),
            ("2 GB, trickled", b + "/page?body=" + ENDLESS_LINE
             + "&endless=1&length=2147483648&drip=0.2&chunk=64&src=quit-2GB"),
            # Read at full speed the body limit ends it within seconds: exit in the middle of it.
            ("lines for ever", b + "/page?body=" + ENDLESS_LINE + "&endless=1&mode=close&src=quit-endless"),
        ]
        for name, url in cases:
            with self.subTest(name):
                self.env.kill_leftovers("Zellora.exe")
                self.add_slot(0, "止まる新聞", url)
                marker = url.rsplit("src=", 1)[1]
                before = len(self.requests_of(marker))
                p = self.start()
                self.assertTrue(wait_until(lambda: len(self.requests_of(marker)) > before, 20))
                if "quit-endless" in url:
                    time.sleep(0.5)
                else:
                    time.sleep(1.0)
                    self.assertIsNone(self.env.send(TICKER, WM_NULL), "the fetch is already over")
                asked = time.monotonic()
                self.assertTrue(self.env.post(TITLE, WM_COMMAND, 1, 0))
                code = p.wait(15)
                took = time.monotonic() - asked
                print("exit during '%s': %.1f s" % (name, took), file=sys.stderr)
                self.assertIsNotNone(code, "still running 15 s after the exit command")
                self.assertLess(took, 7.0)
                self.assertEqual(self.env.pids_of("Zellora.exe"), [])

    # --- the companion ---

    def zellmate(self, method, title_js, url_js):
        """Runs one call of the companion's automation object from a script: True when it
        returned (no crash, no error) within a minute."""
        script = self.env.tmp_dir / ("zellmate-%d.js" % time.monotonic_ns())
        script.write_bytes((
            "try {\r\n"
            '  var z = new ActiveXObject("Zellmate.Application");\r\n'
            "  z.%s(%s, %s, \"\");\r\n"
            "  z = null;\r\n"
            "  WScript.Quit(5);\r\n"
            "} catch (e) { WScript.Echo(\"error \" + e.number); WScript.Quit(9); }\r\n"
            % (method, title_js, url_js)).encode("cp932"))
        self.assertTrue(self.env.wait_exited("Zellmate.exe"), "the companion of the last call still runs")
        started = time.monotonic()
        rc, out = self.env.wine("cscript", "//nologo", win_path(script), timeout=90)
        self.assertLess(time.monotonic() - started, 60)
        return rc == 5

    def slot_values(self, slot):
        tree = self.env.reg_query(LIST + "\\URL%08X" % slot)
        return tree[""] if tree else None

    def test_companion_hands_over_huge_and_broken_text_and_the_ticker_takes_it(self):
        self.assertEqual(self.env.wine(self.env.program("companion/Zellmate.exe"))[0], 0, "registration")
        self.add_slot(0, "普通の新聞", self.server.url("file=news.html&src=companion-good"))
        p = self.start()
        self.assertTrue(wait_until(lambda: self.requests_of("src=companion-good"), 20))

        # 10 000 characters each: a title of double-byte characters, an address of the server.
        long_title = "長" * 10000
        pad = 10000 - len(self.server.url("file=news.html&src=long&pad="))
        long_url = self.server.url("file=news.html&src=long&pad=") + "x" * pad
        self.assertEqual(len(long_url), 10000)
        self.assertTrue(self.zellmate("AddURL", '"%s"' % long_title, '"%s"' % long_url))
        stored = self.slot_values(1)
        self.assertEqual((stored["Title"], stored["URL"], stored["Filter"]), (long_title, long_url, 40))
        # The ticker was told and fetched the 10 000-character address.
        self.assertTrue(wait_until(lambda: self.requests_of("src=long"), 20), "the long address was not fetched")
        self.assertTrue(self.wait_idle(30))
        # The same title and address again: already subscribed, nothing changes.
        self.assertTrue(self.zellmate("AddURL", '"%s"' % long_title, '"%s"' % long_url))
        self.assertIsNone(self.slot_values(2))

        # Text the code page cannot hold and the code points of its odd single bytes (0x80,
        # 0xA0, 0xFD-0xFF), lone surrogates, control characters: taken, stored, shown.
        broken = r'"\u0080\uF8F0\uF8F1\uF8F2\uF8F3\uDFFF\uD800\u0001\u007F\uFFFD\u00FD\u20AC\uFF61"'
        self.assertTrue(self.zellmate("AddURL", broken, '"%s"' % self.server.url("src=broken&body=%81%7F%FD%82")))
        stored = self.slot_values(2)
        self.assertIsNotNone(stored, "the page with the odd title was not stored")
        self.assertTrue(stored["Title"])
        self.assertEqual(stored["Filter"], 40)
        self.assertTrue(wait_until(lambda: self.requests_of("src=broken"), 20))
        self.assertTrue(self.wait_idle(30))

        # Sent for one showing: the temporary entry is written, taken by the ticker and deleted.
        before = len(self.requests_of("src=long"))
        self.assertTrue(self.zellmate("SendURL", '"%s"' % long_title, '"%s"' % long_url))
        self.assertTrue(wait_until(lambda: len(self.requests_of("src=long")) > before, 20))
        self.assertTrue(wait_until(lambda: not self.env.reg_exists(LIST + r"\TEMP_URL"), 20))
        self.assertTrue(self.zellmate("SendURL", broken, broken))
        self.assertTrue(wait_until(lambda: not self.env.reg_exists(LIST + r"\TEMP_URL"), 20))
        # No address: refused, nothing written.
        self.assertTrue(self.zellmate("SendURL", '"%s"' % long_title, '""'))
        self.assertTrue(self.zellmate("AddURL", '"%s"' % long_title, '""'))
        self.assertFalse(self.env.reg_exists(LIST + r"\TEMP_URL"))
        self.assertIsNone(self.slot_values(3))

        # The ticker survived all of it: it still answers and paints its bar.
        self.assertTrue(p.alive())
        self.assertTrue(self.wait_idle(30))
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, SHOW_SLOT + 0, 0))
        self.assertTrue(wait_until(lambda: self.bar_yellow() > 20, 15, 0.3))
        self.bar_yellow(self.shots / "hostile-companion.png")
        self.quit(p)


if __name__ == "__main__":
    unittest.main(verbosity=2)
