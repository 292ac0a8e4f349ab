"""Zellora.exe in the desktop-background and title-bar modes.

Wine has no desktop list view, so mode 1 can draw nothing: the rotation must still tick, repeat and
pause, fetching once per pass and pause. Mode 2 writes into the caption of Wine's notepad and must
give it back exactly when the display stops."""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from ticker_screen_test import KEY, TICKER, TITLE, TickerRun  # noqa: E402
from winehelp import WM_CLOSE, WM_COMMAND, wait_until  # noqa: E402

NOTEPAD_TITLE = "(無題) - メモ帳"
RELOAD = 1031  # re-read the settings and restart


class DisplayModesTest(TickerRun, unittest.TestCase):
    def setUp(self):
        self.fresh_ticker("notepad.exe")
        self.env.reg_add(KEY + r"\Option", "Speed", 0)
        self.env.reg_add(KEY + r"\Option", "Sleep", 0)
        self.env.reg_add(KEY + r"\Option", "loopCount", 0)


    def page_requests(self, marker):
        return [r for r in self.server.requests() if marker in r]

    def test_desktop_mode_without_a_list_view_keeps_rotating(self):
        self.env.reg_add(KEY + r"\Option", "Howto", 1)
        self.env.reg_add(KEY + r"\Option", "DeskPer", 0)
        # A short line (25 % of the screen's lead-in, the header, one item): one pass takes a few
        # seconds at the fastest speed; then the one-second pause and the next fetch.
        self.server.folder.joinpath("short.html").write_bytes(
            "<html><head><title>短信</title></head><body>速報です、本日の天気は晴れ</body></html>".encode("cp932"))
        self.add_slot(0, "短信", self.server.url("file=short.html&slot=desk"))
        p = self.start()
        started = time.monotonic()
        self.assertTrue(wait_until(lambda: len(self.page_requests("slot=desk")) >= 3, 120),
                        "the rotation stopped: %r" % self.page_requests("slot=desk"))
        elapsed = time.monotonic() - started
        self.assertTrue(p.alive())
        # One request per pass and pause, not a flood: three fetches took at least two passes.
        count = len(self.page_requests("slot=desk"))
        self.assertLessEqual(count, 4)
        self.assertGreater(elapsed, 2.0)
        sys.stderr.write("desktop mode: %d fetches in %.1f s\n" % (count, elapsed))
        self.quit(p)

    def test_title_bar_mode_writes_into_notepad_and_gives_the_caption_back(self):
        self.env.reg_add(KEY + r"\Option", "Howto", 2)
        self.add_slot(0, "テスト新聞", self.server.url("file=news.html&slot=caption"))
        notepad = self.env.start("notepad")
        self.assertTrue(self.env.wait_window(NOTEPAD_TITLE), "notepad did not open")
        hwnd = self.env.find_window(NOTEPAD_TITLE)[0]

        def caption():
            for w in self.env.windows():
                if w["hwnd"] == hwnd:
                    return w["title"]
            return None

        p = self.start()
        self.assertTrue(wait_until(lambda: (caption() or "").startswith(NOTEPAD_TITLE + "  "), 30),
                        "no ticker text in the caption: %r" % caption())
        # The text moves one character a tick behind the two spaces; the lead-in is full-width
        # blanks, the header follows.
        self.assertTrue(wait_until(lambda: "【" in (caption() or ""), 30), caption())
        shown = caption()
        self.assertTrue(shown.startswith(NOTEPAD_TITLE + "  "))
        self.assertLessEqual(len(shown.encode("cp932")), 1023)

        # Stop (bOnline 0 and the reload command): the caption is exactly notepad's again.
        self.env.reg_add(KEY, "bOnline", 0)
        self.assertTrue(self.env.post(TICKER, WM_COMMAND, RELOAD, 0))
        self.assertTrue(wait_until(lambda: caption() == NOTEPAD_TITLE, 10), caption())
        time.sleep(1)
        self.assertEqual(caption(), NOTEPAD_TITLE)
        self.quit(p)
        self.assertEqual(caption(), NOTEPAD_TITLE)
        self.env.post(NOTEPAD_TITLE, WM_CLOSE, 0, 0)
        notepad.wait(10)


if __name__ == "__main__":
    unittest.main()
