"""Catalogue.exe as a user starts it: the window, its pages and buttons, the keys it ignores, an
offer whose shop cannot be reached, and closing it."""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from winehelp import WM_CLOSE, WM_COMMAND, WineEnv, wait_until  # noqa: E402

TITLE = "HOSHIRAI オンラインカタログ （2012年1月号）"
MESSAGE_CAPTION = "HOSHIRAI オンラインカタログ"
NEXT, PREVIOUS, FIRST_OFFER = 1000, 1001, 1002


class CatalogueTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.env = WineEnv()
        cls.env.prepare()
        cls.exe = cls.env.program("catalogue/Catalogue.exe")

    def setUp(self):
        self.env.kill_leftovers("Catalogue.exe")
        self.addCleanup(self.env.kill_leftovers, "Catalogue.exe")
        self.addCleanup(self.env.kill_started)

    def item(self, control_id):
        """(visible, enabled, text) of a control of the catalogue window."""
        rc, out = self.env.wintool("item", TITLE, control_id)
        self.assertEqual(rc, 0, "no control %d" % control_id)
        visible, enabled, text = (out.rstrip("\r\n").split(" ", 2) + [""])[:3]
        return visible == "1", enabled == "1", text

    def command(self, control_id):
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, control_id, 0))
        self.env.send(TITLE, 0, 0, 0)  # returns once the posted command has been handled

    def test_pages_buttons_and_closing(self):
        p = self.env.start(self.exe)
        self.assertTrue(self.env.wait_window(TITLE), "the catalogue window did not appear")
        rc, out = self.env.wintool("client", TITLE)
        self.assertEqual(out.split(), ["640", "430"])
        self.assertEqual(self.item(PREVIOUS)[:2], (True, False))
        self.assertEqual(self.item(NEXT)[:2], (True, True))
        self.assertEqual(self.item(FIRST_OFFER), (True, True, "ダウンロード"))
        for hidden in range(FIRST_OFFER + 1, FIRST_OFFER + 7):
            self.assertFalse(self.item(hidden)[0], hidden)
        self.env.screenshot(self.env.tmp_dir / "catalogue-page0.png")

        for _ in range(4):
            self.command(NEXT)
        self.assertEqual(self.item(NEXT)[:2], (True, False))
        self.assertEqual(self.item(PREVIOUS)[:2], (True, True))

        # Enter and Esc leave the window open; closing it ends the program.
        self.command(1)
        self.command(2)
        self.assertIsNotNone(self.env.find_window(TITLE))
        self.assertTrue(self.env.post(TITLE, WM_CLOSE, 0, 0))
        self.assertEqual(p.wait(20), 0)

    def test_an_unreachable_shop_ends_in_the_failure_message(self):
        p = self.env.start(self.exe)
        self.assertTrue(self.env.wait_window(TITLE))
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, FIRST_OFFER, 0))
        # The shop's host does not resolve here: the download fails and says so.
        self.assertTrue(self.env.wait_window(MESSAGE_CAPTION, timeout=90), "no failure message")
        rc, out = self.env.wintool("item", MESSAGE_CAPTION, 0xFFFF)
        self.assertEqual(out.rstrip("\r\n").split(" ", 2)[2], "ダウンロードできませんでした。")
        self.assertTrue(self.env.post(MESSAGE_CAPTION, WM_COMMAND, 1, 0))
        self.assertTrue(self.env.wait_window_gone(MESSAGE_CAPTION))
        # The catalogue is usable again.
        self.assertTrue(wait_until(lambda: self.item(NEXT)[:2] == (True, True), 10))
        self.assertTrue(self.env.post(TITLE, WM_CLOSE, 0, 0))
        self.assertEqual(p.wait(20), 0)


if __name__ == "__main__":
    unittest.main()
