"""Zellora.exe's start: first-run defaults, the command-line switches and the uninstall run."""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from winehelp import WM_COMMAND, WineEnv  # noqa: E402

KEY = r"HKCU\Software\HOSHIRAI\Zellora"
TITLE = "__@ZELLORA@__"

FIRST_RUN = {
    "": {"bSetup": 1, "bOnline": 1},
    "Option": {"bRegExplorer": 1},
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

    def test_first_start_writes_six_values_and_a_second_start_nothing(self):
        p = self.start_ticker()
        self.assertEqual(self.env.reg_query(KEY), FIRST_RUN)
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
