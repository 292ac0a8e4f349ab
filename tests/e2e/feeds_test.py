"""Zellora.exe reading a feed from the test server: the headlines in the bar and in the tray menu's
"見出し", a headline's link opened by the menu and by WM_COMMAND 12000 + i from another program
(the prefix's http handler is a recording stand-in), a second fetch that is conditional and kept
by a 304, and a 429 with Retry-After that keeps that source unasked while the others go on.

Screenshots go to ZELLORA_SHOTS (a folder) when it is set, else to the test's temporary folder."""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import screenshots  # noqa: E402
from ticker_screen_test import KEY, TITLE, TRAY_WINDOW_ID, YELLOW, TickerRun  # noqa: E402
from winehelp import WM_APP, WM_COMMAND, wait_until, win_path  # noqa: E402

WM_KEYDOWN = 0x0100
WM_RBUTTONUP = 0x0205
VK_RETURN, VK_ESCAPE, VK_RIGHT, VK_DOWN = 0x0D, 0x1B, 0x27, 0x28
HANDLER = r"HKCR\http\shell\open\command"

FEED = """<?xml version="1.0" encoding="UTF-8"?>
<?xml-stylesheet type="text/xsl" href="/rss.xsl"?>
<rss version="2.0"><channel><title>テスト速報</title><link>http://127.0.0.1/</link>
<description>説明は見出しではない</description>
<item><title>東京都で記録的な大雨、各地で交通機関に乱れ</title><link>/articles/1.html</link>
<description>&lt;p&gt;本文&lt;/p&gt;</description></item>
<item><title>リンクのない見出し &amp; お知らせ</title></item>
<item><title><![CDATA[新しい図書館が<b>駅前</b>に開館]]></title>
<link>http://news.example.jp/articles/3?a=1&amp;b=2</link></item>
</channel></rss>
"""


class FeedsTest(TickerRun, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        (cls.server.folder / "feed.xml").write_bytes(FEED.encode("utf-8"))

    def setUp(self):
        self.fresh_ticker()
        self.env.reg_add(KEY + r"\Option", "Howto", 0)
        self.env.reg_add(KEY + r"\Option", "Speed", 0)
        self.feed_query = "file=feed.xml&content_type=application/rss%2Bxml&etag=%22v1%22&slot=0"
        self.add_slot(0, "テスト速報", self.server.url(self.feed_query))
        self.add_slot(1, "混雑中", self.server.url("status=429&retry_after=120&body=busy&slot=1"))
        self.add_slot(2, "テスト新聞", self.server.url("file=news.html&slot=2"))
        self.env.run("xdotool", "mousemove", "600", "300")
        # The browser: a stand-in that writes down the address it was asked to open.
        self.opened = self.env.tmp_dir / "opened.txt"
        self.opened.write_bytes(b"")
        rc, out = self.env.wine("reg", "query", HANDLER, "/ve")
        previous = [line.split("REG_SZ", 1)[1].strip() for line in out.splitlines() if "REG_SZ" in line]
        command = '"%s" record "%s" "%%1"' % (win_path(self.env.program("tools/wintool.exe")), win_path(self.opened))
        self.assertEqual(self.env.wine("reg", "add", HANDLER, "/ve", "/d", command, "/f")[0], 0)
        if previous:
            self.addCleanup(self.env.wine, "reg", "add", HANDLER, "/ve", "/d", previous[0], "/f")

    # --- helpers ---

    def heads(self):
        """The request heads the server recorded, in order."""
        text = self.server.record.read_bytes().decode("latin-1")
        return [h for h in text.split("\r\n\r\n") if h.startswith("GET ")]

    def fetches(self, slot):
        return [h for h in self.heads() if "slot=%d" % slot in h.split("\r\n")[0]]

    def opened_links(self):
        return self.opened.read_bytes().decode("cp932").splitlines()

    def open_menu(self):
        self.assertEqual(self.env.wintool("postchild", TITLE, TRAY_WINDOW_ID, WM_APP, 0, WM_RBUTTONUP)[0], 0)
        self.assertTrue(wait_until(lambda: self.env.find_window("-", "#32768") is not None, 5), "no menu opened")

    def post(self, command):
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, command, 0))

    # --- the test ---

    def test_feed_headlines_links_conditional_fetch_and_retry_after(self):
        port = self.server.port
        p = self.start()
        self.assertTrue(wait_until(lambda: len(self.fetches(0)) >= 1, 15), "the feed was not fetched")
        self.assertNotIn("If-None-Match", self.fetches(0)[0])

        # The feed's items scroll in the bar.
        self.assertTrue(wait_until(lambda: self.bar_text_pixels() > 20, 10, 0.2), "no text in the bar")
        time.sleep(2.5)
        screenshots.take(self.env, self.shots / "feed-bar.png")

        # From another program: item 2 opens; item 1 (no link) and item 40 (none) do nothing.
        self.post(12001)
        self.post(12040)
        self.post(12002)
        article = "http://127.0.0.1:%d/articles/1.html" % port
        third = "http://news.example.jp/articles/3?a=1&b=2"
        self.assertTrue(wait_until(lambda: len(self.opened_links()) >= 1, 10), self.opened_links())
        time.sleep(1.5)
        self.assertEqual(self.opened_links(), [third])

        # The tray menu: "見出し" (the fourth item), its items the feed's titles, the one without a
        # link greyed (the screenshot). While the menu is open another page comes (slot 2): the
        # first item still opens the link it showed, resolved against the feed's address, while
        # 12000 from outside opens the first link of the page now showing.
        self.open_menu()
        for _ in range(4):
            self.env.wintool("postclass", "#32768", WM_KEYDOWN, VK_DOWN, 0)
        self.env.wintool("postclass", "#32768", WM_KEYDOWN, VK_RIGHT, 0)
        self.assertTrue(wait_until(lambda: len([w for w in self.env.windows() if w["cls"] == "#32768"]) == 2, 5),
                        "the submenu did not open")
        time.sleep(0.8)
        screenshots.take(self.env, self.shots / "feed-menu.png")
        self.post(10002)
        self.assertTrue(wait_until(lambda: len(self.fetches(2)) >= 1, 10), "slot 2 was not fetched")
        time.sleep(1.5)
        self.env.wintool("postclass", "#32768", WM_KEYDOWN, VK_RETURN, 0)
        self.assertTrue(wait_until(lambda: len(self.opened_links()) >= 2, 10), self.opened_links())
        self.assertTrue(wait_until(lambda: self.env.find_window("-", "#32768") is None, 5), "the menu stayed open")
        self.post(12000)
        self.assertTrue(wait_until(lambda: len(self.opened_links()) >= 3, 10), self.opened_links())
        self.assertEqual(self.opened_links(), [third, article, "http://127.0.0.1:%d/1" % port])

        # The same feed again (a favourite): a conditional request, answered 304; the headlines stay.
        self.post(10000)
        self.assertTrue(wait_until(lambda: len(self.fetches(0)) >= 2, 10), "no second fetch of the feed")
        self.assertIn('If-None-Match: "v1"', self.fetches(0)[1])
        time.sleep(1.0)
        self.post(12000)
        self.assertTrue(wait_until(lambda: len(self.opened_links()) >= 4, 10), self.opened_links())
        self.assertEqual(self.opened_links()[3], article)
        time.sleep(1.5)
        screenshots.take(self.env, self.shots / "feed-bar-304.png")

        # A 429 with Retry-After: 120: that source is not asked again; the others go on.
        self.post(10001)
        self.assertTrue(wait_until(lambda: len(self.fetches(1)) == 1, 10), "the busy source was not fetched")
        for slot in (2, 1, 0, 1):
            before = {s: len(self.fetches(s)) for s in (0, 1, 2)}
            self.post(10000 + slot)
            if slot == 1:
                time.sleep(3)
                self.assertEqual(len(self.fetches(1)), before[1], "the busy source was asked again")
            else:
                self.assertTrue(wait_until(lambda: len(self.fetches(slot)) > before[slot], 10),
                                "slot %d was not fetched" % slot)
        self.quit(p)

    def bar_text_pixels(self):
        shot = screenshots.take(self.env)
        return shot.count(YELLOW, shot.height - 20, shot.height)


if __name__ == "__main__":
    unittest.main()
