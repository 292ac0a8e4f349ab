"""Zellora.exe's bar gives way to a full-screen program: hidden within a second of the program
coming to the front, its line held where it was (no ticks meanwhile), back when the program ends;
a flash bulletin still shows over the program."""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import screenshots  # noqa: E402
from ticker_screen_test import KEY, TICKER, TITLE, YELLOW, TickerRun  # noqa: E402
from winehelp import WM_CLOSE, WM_COMMAND, wait_until  # noqa: E402

SAMPLE = "FullScreenSample"
FLASH_SAMPLE = 32776  # the main window's hidden command that sends the sample bulletin
WHITE = (255, 255, 255)
SPEED = 50  # pixels a second at the fastest speed: 4 pixels every 80 ms, never more


class FullScreenTest(TickerRun, unittest.TestCase):
    def setUp(self):
        self.fresh_ticker("full_screen_sample.exe")
        self.env.reg_add(KEY + r"\Option", "Howto", 0)
        self.env.reg_add(KEY + r"\Option", "Speed", 0)
        self.env.reg_add(KEY + r"\Option", "loopCount", 2)
        self.add_slot(0, "テスト新聞", self.server.url("file=news.html&slot=0"))
        self.env.run("xdotool", "mousemove", "600", "300")

    def bar(self):
        """(hwnd, visible) of the ticker's bar: its caption-less window along the bottom edge."""
        ticker = self.env.find_window(TICKER)
        for w in self.env.windows():
            if ticker and w["pid"] == ticker[1] and w["cls"] == "#32770" and w["title"] == "":
                rc, out = self.env.wintool("rect", "#0x%x" % w["hwnd"])
                left, top, right, bottom, visible = (int(v) for v in out.split())
                if bottom - top == 20 and right - left > 200:
                    return w["hwnd"], visible == 1
        return None

    def visible(self, hwnd):
        rc, out = self.env.wintool("rect", "#0x%x" % hwnd)
        return rc == 0 and out.split()[4] == "1"

    def text_start(self):
        """Where the line's text begins in the bar now (its leftmost yellow column), and when."""
        shot = screenshots.take(self.env)
        at = time.monotonic()
        columns = shot.columns_with(YELLOW, shot.height - 20, shot.height)
        return (columns[0] if columns else None), at

    def test_the_bar_gives_way_and_comes_back_where_it_was(self):
        p = self.start()
        # The line comes in from the right: wait until its start is well inside the bar.
        self.assertTrue(wait_until(lambda: (self.text_start()[0] or 10 ** 6) < 1000, 40, 0.2), "no text in the bar")
        found = self.bar()
        self.assertIsNotNone(found)
        hwnd, shown = found
        self.assertTrue(shown)

        x_before, t_before = self.text_start()
        sample = self.env.start(self.env.program("ticker/full_screen_sample.exe"), SAMPLE, "%x" % hwnd)
        self.assertTrue(self.env.wait_window(SAMPLE), "the full-screen window did not open")
        # The sample itself measures, from the moment it is in front, how soon the bar hides.
        self.assertTrue(wait_until(lambda: "after" in sample.output(), 10), sample.output())
        t_hidden = time.monotonic()
        report = sample.output().strip()
        sys.stderr.write("full screen: the bar %s\n" % report)
        self.assertTrue(report.startswith("hidden after "), report)
        self.assertLess(int(report.split()[2]), 1000, report)
        self.assertFalse(self.visible(hwnd))

        # A bulletin meanwhile: it shows over the full-screen window, the bar stays hidden.
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, FLASH_SAMPLE, 0))
        time.sleep(1.5)
        shot = screenshots.take(self.env, self.shots / "full-screen-flash.png")
        self.assertGreater(shot.count(WHITE, 0, 60), 50, "no bulletin over the full-screen window")
        self.assertEqual(shot.count(YELLOW, shot.height - 30, shot.height), 0, "the bar still draws")
        time.sleep(3)
        self.assertFalse(self.visible(hwnd))

        # The program ends: the bar comes back with its line where it was.
        held_until = time.monotonic()
        self.assertTrue(self.env.post(SAMPLE, WM_CLOSE, 0, 0))
        self.assertTrue(wait_until(lambda: self.visible(hwnd), 5, 0.05), "the bar did not come back")
        t_back = time.monotonic()
        x_after, t_after = self.text_start()
        self.assertIsNotNone(x_after)
        screenshots.take(self.env, self.shots / "full-screen-after.png")
        # It moved only while it was on show: before the hide and after the return, never during
        # the seconds it was hidden (which alone would have taken it 200 pixels and more).
        shown_for = (t_hidden - t_before) + (t_after - t_back)
        moved = x_before - x_after
        sys.stderr.write("full screen: moved %d pixels in %.1f s shown, %.1f s hidden\n"
                         % (moved, shown_for, held_until - t_hidden))
        self.assertLess(moved, SPEED * shown_for + 40)
        self.assertGreater(held_until - t_hidden, 4)
        sample.wait(10)
        self.quit(p)


if __name__ == "__main__":
    unittest.main()
