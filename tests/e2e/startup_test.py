"""Zellora.exe's start: first-run defaults (a new installation shows the bar), the command-line
switches, the uninstall run and one ticker per session (a second start shows where the first is)."""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from winehelp import WM_COMMAND, WineEnv, wait_until  # noqa: E402

KEY = r"HKCU\Software\HOSHIRAI\Zellora"
TITLE = "__@ZELLORA@__"
TICKER = "_ZELL_DIALOG_"
TRAY_WINDOW_ID = 1102

FIRST_RUN = {
    "": {"bSetup": 1, "bOnline": 1},
    "Option": {"bRegExplorer": 1, "Howto": 0},
    "URL_List": {},
    r"URL_List\URL00000000": {"Title": "Yahoo!トピック", "URL": "http://dailynews.yahoo.co.jp/fc/", "Filter": 20},
}


class StartupTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.env = WineEnv()
        cls.env.prepare()
        cls.exe = cls.env.program("ticker/Zellora.exe")

    def setUp(self):
        self.env.kill_leftovers("Zellora.exe")
        self.addCleanup(self.env.kill_leftovers, "Zellora.exe")
        self.addCleanup(self.env.kill_started)
        self.env.reg_delete(KEY)
        self.assertFalse(self.env.reg_exists(KEY))
        self.assertIsNone(self.env.find_window(TITLE))

    def start_ticker(self, *args):
        p = self.env.start(self.exe, *args)
        self.assertTrue(self.env.wait_window(TITLE), "the main window did not appear")
        return p

    def stop_ticker(self, p):
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, 1, 0))
        self.assertEqual(p.wait(20), 0, "Zellora.exe did not end on command 1")

    def bar_shown(self):
        """Whether the ticker shows its bar: a visible caption-less window of its own at most 20
        pixels high along the bottom of the screen."""
        ticker = self.env.find_window(TICKER)
        if ticker is None:
            return False
        for w in self.env.windows(ticker[1]):
            if not w["visible"] or w["cls"] != "#32770":
                continue
            rc, out = self.env.wintool("rect", "#0x%x" % w["hwnd"])
            left, top, right, bottom, _ = (int(v) for v in out.split())
            if rc == 0 and 0 < bottom - top <= 20 and right - left > 200 and top > 100:
                return True
        return False

    def balloon_shown(self):
        """Whether a tray balloon is on screen (Wine's tray shows it as a visible tooltip window)."""
        return any(w["cls"] == "tooltips_class32" and w["visible"] for w in self.env.windows())

    def test_first_start_writes_seven_values_and_a_second_start_nothing(self):
        p = self.start_ticker()
        self.assertEqual(self.env.reg_query(KEY), FIRST_RUN)
        # The first start shows where the icon is.
        self.assertTrue(wait_until(self.balloon_shown, 10, 0.3), "no balloon on the first start")
        # A new installation starts with the bar (its first page cannot be reached here: the bar
        # shows the error item).
        self.assertTrue(wait_until(self.bar_shown, 60, 0.5), "no bar on the first start")
        # The main window exists but is never shown.
        visible = [w for w in self.env.windows() if w["title"] == TITLE and w["visible"]]
        self.assertEqual(visible, [])
        self.env.screenshot(self.env.tmp_dir / "first-start.png")
        self.stop_ticker(p)

        # The user's changes survive a restart: nothing is written again.
        self.assertTrue(self.env.reg_delete(KEY, "bOnline"))
        self.assertTrue(self.env.reg_add(KEY + r"\URL_List\URL00000000", "Title", "朝のニュース"))
        self.assertTrue(self.env.reg_delete(KEY + r"\Option"))
        before = self.env.reg_query(KEY)
        p = self.start_ticker()
        self.assertEqual(self.env.reg_query(KEY), before)
        self.stop_ticker(p)

    def test_an_installation_without_a_display_mode_keeps_the_desktop_strip(self):
        # Set up before the bar became the first-run mode: no "Howto", a page that fails at once.
        self.assertTrue(self.env.reg_add(KEY, "bSetup", 1))
        self.assertTrue(self.env.reg_add(KEY + r"\URL_List\URL00000000", "URL", "http://127.0.0.1:1/"))
        p = self.start_ticker()
        self.assertTrue(self.env.wait_window(TICKER))
        time.sleep(5)  # the failed page's error item has been scrolling for a while
        self.assertFalse(self.bar_shown())
        self.assertIsNone(self.env.reg_value(KEY + r"\Option", "Howto"))
        self.stop_ticker(p)

    def test_a_second_start_leaves_one_ticker_and_shows_where_it_is(self):
        # Not a first run: the running ticker shows no balloon of its own.
        self.assertTrue(self.env.reg_add(KEY, "bSetup", 1))
        first = self.start_ticker()
        self.assertTrue(self.env.wait_window(TICKER))
        self.assertFalse(wait_until(self.balloon_shown, 4, 0.3), "a balloon without a first run")
        before = self.tray_icons()
        started = time.monotonic()
        second = self.env.start(self.exe)
        self.assertEqual(second.wait(15), 0, "the second start did not end by itself")
        self.assertLess(time.monotonic() - started, 10)
        self.assertTrue(first.alive())
        self.assertEqual(len([w for w in self.env.windows() if w["title"] == TITLE]), 1)
        self.assertEqual(len([w for w in self.env.windows() if w["title"] == TICKER]), 1)
        self.assertEqual(len(self.env.pids_of("Zellora.exe")), 1)
        self.assertEqual(self.tray_icons(), before)
        # The running ticker shows where its icon is.
        self.assertTrue(wait_until(self.balloon_shown, 10, 0.3), "no balloon after the second start")
        self.env.screenshot(self.env.tmp_dir / "second-start.png")
        # "/REGIST" is a start like any other; "/UNREGIST" still ends the running ticker.
        self.assertEqual(self.env.start(self.exe, "/regist").wait(15), 0)
        self.assertEqual(len(self.env.pids_of("Zellora.exe")), 1)
        self.assertEqual(self.env.start(self.exe, "/UNREGIST").wait(30), 0)
        self.assertEqual(first.wait(20), 0)
        self.assertFalse(self.env.reg_exists(KEY))

        # Once the first has ended, a start is a ticker again.
        p = self.start_ticker()
        self.assertEqual(len(self.env.pids_of("Zellora.exe")), 1)
        self.stop_ticker(p)

    def tray_icons(self):
        """The notification area's icons: the windows Wine's tray makes for them."""
        return len([w for w in self.env.windows() if w["cls"] == "__wine_tray_icon"])

    def test_emptied_url_list_stays_empty(self):
        p = self.start_ticker()
        self.stop_ticker(p)
        self.assertTrue(self.env.reg_delete(KEY + r"\URL_List"))
        p = self.start_ticker()
        tree = self.env.reg_query(KEY)
        self.assertNotIn("URL_List", tree)
        self.assertNotIn(r"URL_List\URL00000000", tree)
        self.assertEqual(tree[""], {"bSetup": 1, "bOnline": 1})
        self.stop_ticker(p)

    def test_lower_case_regist_starts_like_regist(self):
        p = self.start_ticker("/regist")
        self.assertEqual(self.env.reg_query(KEY), FIRST_RUN)
        self.stop_ticker(p)

    def test_window_close_and_cancel_end_the_program(self):
        for message, wparam in ((0x0010, 0), (WM_COMMAND, 2)):  # WM_CLOSE, then IDCANCEL
            p = self.start_ticker()
            self.assertTrue(self.env.post(TITLE, message, wparam, 0))
            self.assertEqual(p.wait(20), 0)
            self.assertTrue(self.env.wait_window_gone(TITLE, 5))

    def test_unregist_without_ticker_deletes_the_key_silently(self):
        self.assertTrue(self.env.reg_add(KEY, "bSetup", 1))
        self.assertTrue(self.env.reg_add(KEY + r"\URL_List\URL00000003", "Title", "残り"))
        self.assertTrue(self.env.reg_add(r"HKCU\Software\HOSHIRAI\Other", "Keep", 1))
        self.addCleanup(self.env.reg_delete, r"HKCU\Software\HOSHIRAI\Other")
        started = time.monotonic()
        p = self.env.start(self.exe, "/unregist")
        # No window and no message box: the run ends by itself, without the one-second pause.
        self.assertEqual(p.wait(20), 0)
        self.assertLess(time.monotonic() - started, 15)
        self.assertFalse(self.env.reg_exists(KEY))
        self.assertTrue(self.env.reg_exists(r"HKCU\Software\HOSHIRAI\Other"))
        self.assertIsNone(self.env.find_window(TITLE))

    def test_unregist_ends_a_running_ticker_and_deletes_the_key(self):
        ticker = self.start_ticker()
        self.assertTrue(self.env.reg_exists(KEY))
        started = time.monotonic()
        uninstall = self.env.start(self.exe, "/UNREGIST")
        self.assertEqual(uninstall.wait(30), 0)
        # One window found: at least the one-second pause.
        self.assertGreaterEqual(time.monotonic() - started, 1.0)
        self.assertEqual(ticker.wait(20), 0, "the running ticker did not exit")
        self.assertTrue(self.env.wait_window_gone(TITLE, 5))
        self.assertFalse(self.env.reg_exists(KEY))


if __name__ == "__main__":
    unittest.main(verbosity=2)
