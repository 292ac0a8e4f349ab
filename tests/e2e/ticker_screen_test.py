"""Zellora.exe on screen: the bar scrolling the test server's headlines, the tray icon and its
menu, Start/Stop, favourites, the flash window, hostile news messages and the shutdown paths.

Screenshots go to ZELLORA_SHOTS (a folder) when it is set, else to the test's temporary folder."""

import os
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import screenshots  # noqa: E402
from winehelp import WM_APP, WM_CLOSE, WM_COMMAND, WineEnv, reg_dword, reg_text, wait_until  # noqa: E402

KEY = r"HKCU\Software\HOSHIRAI\Zellora"
TITLE = "__@ZELLORA@__"
TICKER = "_ZELL_DIALOG_"
YELLOW = (255, 232, 64)
SHADOW = (64, 64, 64)
WM_KEYDOWN = 0x0100
WM_RBUTTONUP = 0x0205
VK_RETURN, VK_ESCAPE, VK_DOWN = 0x0D, 0x1B, 0x28
IDOK = 1
TRAY_WINDOW_ID = 1102
IDM_START_STOP = 32773

# Menu positions counted by the arrow key from nothing selected (separators are skipped).
MENU_START_STOP, MENU_HELP, MENU_ABOUT = 1, 7, 8

HELP_TEXT = "\r\n".join([
    "", "【スタート／停止】", "", "　ニュース表示をＯＮ／ＯＦＦします。", "　ＯＦＦにするとニュースは表示されません。", "",
    "【インターネット】", "", "　表示されているＵＲＬをインターネットブラウザで開きます。", "", "【お気に入り】", "",
    "　登録されているＵＲＬの中から表示するものを選びます。", "　選択するとすぐに表示されます。", "", "【ＵＲＬ設定】", "",
    "　ニュースとして表示するＵＲＬを登録／削除します。", "", "【オプション】", "", "　ニュースの表示方法などを設定します。", "",
    "【終了】", "", "　このソフトウェアを終了します。", "", ""])

PAGE = """<html><head><meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">
<title>テスト新聞</title></head><body>
<a href="/1">東京都で記録的な大雨、各地で交通機関に乱れ</a><br>
<a href="/2">新しい図書館が駅前に開館、週末は家族連れでにぎわう</a><br>
<a href="/3">プロ野球、地元チームが逆転勝ちで首位に浮上</a><br>
</body></html>
"""


class Server:
    """tools/http_test_server.py on a free port, recording every request."""

    def __init__(self, env):
        self.folder = env.tmp_dir / "server"
        self.folder.mkdir(exist_ok=True)
        (self.folder / "news.html").write_bytes(PAGE.encode("cp932"))
        (self.folder / "other.html").write_bytes(PAGE.replace("テスト新聞", "別の新聞").encode("cp932"))
        self.record = self.folder / "record.txt"
        self.record.write_bytes(b"")
        port_file = self.folder / "port"
        script = env.source_dir / "tools" / "http_test_server.py"
        # It lives as long as the suite that started it (stop), at most 15 minutes. A suite may go
        # for minutes without a request on a busy machine (the hostile settings' desktop-strip and
        # catalogue cases), so the server's own end after 3 idle minutes, meant for a forgotten
        # server, is pushed out to the same 15 minutes.
        self.process = subprocess.Popen(
            [sys.executable, str(script), "--port-file", str(port_file), "--record", str(self.record),
             "--root", str(self.folder), "--lifetime", "900", "--idle", "900"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        assert wait_until(port_file.exists, 10), "the test server did not start"
        self.port = int(port_file.read_text().split()[0])

    def url(self, query):
        return "http://127.0.0.1:%d/page?%s" % (self.port, query)

    def requests(self):
        lines = self.record.read_bytes().decode("latin-1").splitlines()
        return [line.split(" ")[1] for line in lines if line.startswith("GET ")]

    def stop(self):
        self.process.kill()
        self.process.wait(10)


class TickerRun:
    """What the suites that run the real ticker share: self.env is a WineEnv, self.exe Zellora.exe,
    self.server the test server, self.shots the folder for screenshots."""

    @classmethod
    def setUpClass(cls):
        cls.env = WineEnv()
        cls.env.prepare()
        cls.exe = cls.env.program("ticker/Zellora.exe")
        cls.server = Server(cls.env)
        shots = os.environ.get("ZELLORA_SHOTS")
        cls.shots = Path(shots) if shots else cls.env.tmp_dir
        cls.shots.mkdir(parents=True, exist_ok=True)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def fresh_ticker(self, *others):
        """Ends what an earlier run left (Zellora.exe and the others named), now and after the
        test, and gives the ticker a key of its own: set up, online, nothing else."""
        for exe in ("Zellora.exe",) + others:
            self.env.kill_leftovers(exe)
            self.addCleanup(self.env.kill_leftovers, exe)
        self.addCleanup(self.env.kill_started)
        # One ticker per session: a start while an earlier test's ticker window is still there
        # asks that one to show itself and ends, so the window must be gone first.
        self.assertTrue(self.env.wait_window_gone(TITLE, 15), "an earlier ticker's window is still there")
        self.env.reg_delete(KEY)
        self.env.reg_add(KEY, "bSetup", 1)
        self.env.reg_add(KEY, "bOnline", 1)

    def add_slot(self, slot, title, url):
        sub = KEY.replace("HKCU", "HKEY_CURRENT_USER", 1) + r"\URL_List\URL%08X" % slot
        values = {"Title": reg_text(title), "URL": reg_text(url), "Filter": reg_dword(10)}
        self.assertTrue(self.env.reg_import({sub: values}, "slot.reg"), "reg import failed: " + self.env.last_error)

    def start(self):
        p = self.env.start(self.exe)
        self.assertTrue(self.env.wait_window(TITLE), "the main window did not appear")
        self.assertTrue(self.env.wait_window(TICKER), "the ticker window did not appear")
        return p

    def quit(self, p):
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, 1, 0))
        self.assertEqual(p.wait(20), 0)


class TickerScreenTest(TickerRun, unittest.TestCase):
    def setUp(self):
        self.fresh_ticker()
        self.env.reg_add(KEY + r"\Option", "Howto", 0)
        self.env.reg_add(KEY + r"\Option", "Speed", 0)
        self.add_slot(0, "テスト新聞", self.server.url("file=news.html&slot=0"))
        self.add_slot(1, "別の新聞", self.server.url("file=other.html&slot=1"))
        self.env.run("xdotool", "mousemove", "600", "300")

    # --- helpers ---

    def own_windows(self, p):
        return [w for w in self.env.windows() if w["cls"] == "#32770" and w["title"] == ""
                and self.same_process(w, p)]

    def same_process(self, window, p):
        ticker = self.env.find_window(TICKER)
        return ticker is not None and window["pid"] == ticker[1]

    def rect(self, hwnd):
        rc, out = self.env.wintool("rect", "#0x%x" % hwnd)
        if rc != 0:
            return None
        left, top, right, bottom, visible = (int(v) for v in out.split())
        return left, top, right, bottom, visible == 1

    def bar(self, p):
        """(hwnd, rect) of the bar: the ticker's caption-less window 20 pixels high or less at the
        bottom of the screen."""
        for w in self.own_windows(p):
            r = self.rect(w["hwnd"])
            if r and r[3] - r[1] <= 20 and r[2] - r[0] > 200 and r[1] > 100:
                return w["hwnd"], r
        return None

    def flash(self, p):
        for w in self.own_windows(p):
            r = self.rect(w["hwnd"])
            if r and r[:2] == (0, 0) and r[3] - r[1] == 100:
                return w["hwnd"]
        return None

    def region(self, hwnd):
        rc, out = self.env.wintool("region", "#0x%x" % hwnd)
        kind, rects, left, top, right, bottom = (int(v) for v in out.split())
        return kind, rects, (left, top, right, bottom)

    def bar_pixels(self, shot):
        bottom = shot.height
        return (shot.count(YELLOW, bottom - 20, bottom), shot.count(SHADOW, bottom - 20, bottom),
                shot.count(YELLOW, 0, bottom - 20) + shot.count(SHADOW, 50, bottom - 20))

    def open_menu(self):
        self.assertTrue(self.env.wintool("postchild", TITLE, TRAY_WINDOW_ID, WM_APP, 0, WM_RBUTTONUP)[0] == 0)
        self.assertTrue(wait_until(lambda: self.env.find_window("-", "#32768") is not None, 5), "no menu opened")

    def choose(self, downs):
        self.open_menu()
        for _ in range(downs):
            self.env.wintool("postclass", "#32768", WM_KEYDOWN, VK_DOWN, 0)
        self.env.wintool("postclass", "#32768", WM_KEYDOWN, VK_RETURN, 0)

    def wait_requests(self, count, timeout=10):
        return wait_until(lambda: len(self.server.requests()) >= count, timeout)

    # --- tests ---

    def test_bar_scrolls_the_first_headline_and_ducks_from_the_pointer(self):
        before = len(self.server.requests())
        p = self.start()
        self.assertTrue(self.wait_requests(before + 1), "the page was not fetched")
        self.assertIn("slot=0", self.server.requests()[before])

        shot = None
        found = wait_until(lambda: self.bar_pixels(screenshots.take(self.env))[0] > 0, 8, 0.2)
        self.assertTrue(found, "no text pixels in the bar")
        time.sleep(1.5)
        first = screenshots.take(self.env, self.shots / "bar-1.png")
        time.sleep(1.0)
        second = screenshots.take(self.env, self.shots / "bar-2.png")
        for shot in (first, second):
            yellow, shadow, above = self.bar_pixels(shot)
            self.assertGreater(yellow, 20)
            self.assertGreater(shadow, 10)
            self.assertEqual(above, 0, "text colours above the bar")
        bottom = first.height
        a = first.columns_with(YELLOW, bottom - 20, bottom)
        b = second.columns_with(YELLOW, bottom - 20, bottom)
        self.assertLess(b[0], a[0], "the text did not move left")
        # 80 ms ticks of 4 pixels: about 50 pixels a second, give or take the load.
        self.assertGreater(a[0] - b[0], 15)

        hwnd, r = self.bar(p)
        self.assertEqual(r[3], bottom)
        self.assertEqual(r[3] - r[1], 20)
        self.assertEqual((r[0], r[2]), (0, first.width))

        # The pointer onto the bar: it shrinks into the bottom edge within 0.3 s. The window's
        # edges are sampled every 10 ms inside the Wine desktop as well.
        watch = self.env.start(self.env.program("tools/wintool.exe"), "watch", "#0x%x" % hwnd, 3000)
        time.sleep(0.5)
        self.env.run("xdotool", "mousemove", "500", str(bottom - 10))
        moved = time.monotonic()
        self.assertTrue(wait_until(lambda: self.rect(hwnd)[1] >= bottom - 4, 2, 0.02))
        self.assertLess(time.monotonic() - moved, 0.6)
        time.sleep(0.5)
        self.assertTrue(self.rect(hwnd)[1] >= bottom - 1)
        self.assertIsNotNone(watch.wait(20))
        tops = [(int(v[0]), int(v[7])) for v in (line.split() for line in watch.output().splitlines())]
        moving = [ms for ms, top in tops if top > bottom - 20]
        down = [ms for ms, top in tops if top >= bottom]
        self.assertTrue(moving and down, tops)
        # Five 50 ms steps: from the first step to the last about 200 ms.
        self.assertLessEqual(down[0] - moving[0], 300, tops)
        self.assertEqual(len({top for _, top in tops}), 6, "steps of 4 pixels: %s" % tops)
        # Close above the bar it stays down; more than 100 pixels above it comes back.
        self.env.run("xdotool", "mousemove", "500", str(bottom - 60))
        time.sleep(1.6)
        self.assertGreaterEqual(self.rect(hwnd)[1], bottom - 1)
        self.env.run("xdotool", "mousemove", "500", str(bottom - 20 - 150))
        left = time.monotonic()
        self.assertTrue(wait_until(lambda: self.rect(hwnd)[1] == bottom - 20, 3, 0.05))
        self.assertLess(time.monotonic() - left, 2.0)
        self.quit(p)

    def test_menu_start_stop_favourite_help_and_about(self):
        p = self.start()
        self.assertTrue(self.wait_requests(1))
        # The icon is in the notification area: without a virtual desktop Wine shows its own tray
        # window once an icon is there.
        self.assertTrue(wait_until(lambda: any(w["cls"] == "__winex11_standalone_tray" and w["visible"]
                                               for w in self.env.windows()), 5))
        self.open_menu()
        time.sleep(0.5)
        screenshots.take(self.env, self.shots / "tray-menu.png")
        self.env.wintool("postclass", "#32768", WM_KEYDOWN, VK_ESCAPE, 0)
        self.assertTrue(wait_until(lambda: self.env.find_window("-", "#32768") is None, 5))

        # Help: the text reads back exactly.
        self.choose(MENU_HELP)
        self.assertTrue(self.env.wait_window(" Zellora ﾍﾙﾌﾟ", 5))
        rc, text = self.env.wintool("text", " Zellora ﾍﾙﾌﾟ", 1033)
        self.assertEqual(text, HELP_TEXT)
        time.sleep(0.3)
        screenshots.take(self.env, self.shots / "help.png")
        # While it is open the icon opens no menu.
        self.env.wintool("postchild", TITLE, TRAY_WINDOW_ID, WM_APP, 0, WM_RBUTTONUP)
        time.sleep(0.5)
        self.assertIsNone(self.env.find_window("-", "#32768"))
        self.env.post(" Zellora ﾍﾙﾌﾟ", WM_COMMAND, IDOK, 0)
        self.assertTrue(self.env.wait_window_gone(" Zellora ﾍﾙﾌﾟ", 5))

        # About.
        self.choose(MENU_ABOUT)
        self.assertTrue(self.env.wait_window(" Zellora のﾊﾞｰｼﾞｮﾝ情報", 5))
        self.assertEqual(self.env.wintool("text", " Zellora のﾊﾞｰｼﾞｮﾝ情報", 1045)[1], "Zellora Version 1.0")
        self.assertEqual(self.env.wintool("text", " Zellora のﾊﾞｰｼﾞｮﾝ情報", 1035)[1], "HOSHIRAIホームページ")
        time.sleep(0.3)
        screenshots.take(self.env, self.shots / "about.png")
        self.env.post(" Zellora のﾊﾞｰｼﾞｮﾝ情報", WM_COMMAND, IDOK, 0)
        self.assertTrue(self.env.wait_window_gone(" Zellora のﾊﾞｰｼﾞｮﾝ情報", 5))

        # Stop: "bOnline" 0 and the bar goes away.
        self.assertTrue(wait_until(lambda: self.bar(p) is not None and self.bar(p)[1][4], 8))
        self.choose(MENU_START_STOP)
        self.assertTrue(wait_until(lambda: self.env.reg_value(KEY, "bOnline") == 0, 5))
        self.assertTrue(wait_until(lambda: not self.bar(p)[1][4], 5), "the bar is still shown")
        # Start: 1 again and the page is fetched at once.
        before = len(self.server.requests())
        self.choose(MENU_START_STOP)
        self.assertTrue(wait_until(lambda: self.env.reg_value(KEY, "bOnline") == 1, 5))
        self.assertTrue(self.wait_requests(before + 1, 5), "no fetch after Start")

        # A favourite: slot 1 now.
        before = len(self.server.requests())
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, 10001, 0))
        self.assertTrue(self.wait_requests(before + 1, 5))
        self.assertIn("slot=1", self.server.requests()[before])
        self.quit(p)

    def test_flash_blinks_the_title_twice_then_shows_each_line_for_five_seconds(self):
        p = self.start()
        self.assertTrue(wait_until(lambda: self.flash(p) is not None, 5))
        hwnd = self.flash(p)
        # The flash window's visibility and region, sampled every 10 ms inside the Wine desktop.
        watch = self.env.start(self.env.program("tools/wintool.exe"), "watch", "#0x%x" % hwnd, 21000)
        time.sleep(1.0)
        text = "@TITLE@速報テスト@/TITLE@@URL@http://127.0.0.1/@/URL@@NEWS@一行目のお知らせ\\f二行目は少し長いお知らせです"
        self.assertEqual(self.env.copydata(TICKER, "FLSH", text), 1)
        time.sleep(4.5)
        screenshots.take(self.env, self.shots / "flash-title.png")
        time.sleep(4.5)
        shot = screenshots.take(self.env, self.shots / "flash-line.png")
        self.assertGreater(shot.count((255, 255, 255), 0, 100), 100, "no white text at the top")
        self.assertEqual(shot.count((255, 0, 255)), 0, "the key colour shows on screen")
        self.assertIsNotNone(watch.wait(40))
        states = []
        for line in watch.output().splitlines():
            ms, visible, rects, left, top, right, bottom = (int(v) for v in line.split()[:7])
            states.append((ms / 1000.0, visible == 1, rects, (left, top, right, bottom)))
        # Shown states (visible with a non-empty region) and what lies between them.
        shown = [(t, rects, box) for t, visible, rects, box in states if visible and rects]
        starts = [round(t - shown[0][0], 2) for t, _, _ in shown] if shown else []
        self.assertEqual(len(shown), 5, "title, blank, title, blank, title, two lines: %s" % states)
        title = shown[0][1:]
        self.assertEqual(shown[1][1:], title)
        self.assertEqual(shown[2][1:], title)
        self.assertNotEqual(shown[3][1:], title)
        self.assertNotEqual(shown[4][1:], shown[3][1:])
        self.assertLess(title[1][3], 100)
        # Title 1 s, blank 0.3 s, title 1 s, blank 0.3 s, title 5 s, each line 5 s.
        expected = [0, 1.3, 2.6, 7.6, 12.6]
        for got, want in zip(starts, expected):
            self.assertAlmostEqual(got, want, delta=0.4, msg=str(starts))
        blanks = [t for t, visible, rects, box in states if visible and rects == 0 and t > shown[0][0]]
        # Each blank comes after its title was up for about its second (the same 0.4 s as above:
        # the watcher may see a change late when the machine is busy).
        self.assertTrue(any(shown[0][0] + 0.6 < t < shown[1][0] for t in blanks), str(states))
        self.assertTrue(any(shown[1][0] + 0.6 < t < shown[2][0] for t in blanks), str(states))
        last_t, last_visible, last_rects, _ = states[-1]
        self.assertFalse(last_visible)
        self.assertEqual(last_rects, 0, "the region is not empty after the sequence")
        self.assertAlmostEqual(last_t - shown[4][0], 5.0, delta=0.4)
        # The window sits at the screen's corner.
        self.assertEqual(self.rect(hwnd)[:2], (0, 0))
        self.quit(p)

    def test_hostile_news_messages_leave_it_scrolling(self):
        p = self.start()
        self.assertTrue(self.wait_requests(1))
        rc, out = self.env.wintool("copyfuzz", TICKER, 10000, 20260, timeout=600)
        self.assertEqual(rc, 0, out)
        self.assertTrue(p.alive())
        # Whatever the messages started, the display still moves: a fresh page on demand.
        before = len(self.server.requests())
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, 10000, 0))
        self.assertTrue(self.wait_requests(before + 1, 10))
        self.assertTrue(wait_until(lambda: self.bar_pixels(screenshots.take(self.env))[0] > 0, 8, 0.3))
        a = screenshots.take(self.env)
        time.sleep(1.0)
        b = screenshots.take(self.env)
        bottom = a.height
        self.assertNotEqual(a.columns_with(YELLOW, bottom - 20, bottom), b.columns_with(YELLOW, bottom - 20, bottom))
        self.quit(p)

    def test_unregist_ends_a_scrolling_ticker(self):
        p = self.start()
        self.assertTrue(wait_until(lambda: self.bar_pixels(screenshots.take(self.env))[0] > 0, 10, 0.3))
        uninstall = self.env.start(self.exe, "/UNREGIST")
        self.assertEqual(uninstall.wait(30), 0)
        self.assertEqual(p.wait(20), 0)
        self.assertFalse(self.env.reg_exists(KEY))

    def test_close_during_a_stalled_fetch_ends_within_seven_seconds(self):
        self.add_slot(0, "止まる新聞", self.server.url("file=news.html&stall=10&stall_secs=60&slot=stall"))
        before = len(self.server.requests())
        p = self.start()
        self.assertTrue(self.wait_requests(before + 1))
        self.assertIn("slot=stall", self.server.requests()[before])
        time.sleep(0.5)
        asked = time.monotonic()
        self.assertTrue(self.env.post(TITLE, WM_CLOSE, 0, 0))
        code = p.wait(10)
        self.assertIsNotNone(code, "still running 10 s after WM_CLOSE")
        self.assertLess(time.monotonic() - asked, 7.0)

    def tray_icon(self):
        """The pixels of Wine's tray window (where the ticker's icon is the only one)."""
        trays = [w for w in self.env.windows() if w["cls"] == "__winex11_standalone_tray" and w["visible"]]
        self.assertEqual(len(trays), 1)
        left, top, right, bottom, _ = self.rect(trays[0]["hwnd"])
        shot = screenshots.take(self.env)
        return b"".join(shot.data[(y * shot.width + left) * 3:(y * shot.width + right) * 3] for y in range(top, bottom))

    def test_stop_and_exit_during_a_stalled_fetch_act_at_once(self):
        self.add_slot(0, "止まる新聞", self.server.url("body=late&delay=30&slot=stall"))
        before = len(self.server.requests())
        p = self.start()
        self.assertTrue(self.wait_requests(before + 1))
        self.assertIn("slot=stall", self.server.requests()[before])
        self.assertTrue(wait_until(lambda: any(w["cls"] == "__winex11_standalone_tray" and w["visible"]
                                               for w in self.env.windows()), 5))
        # While the server keeps the page back the icon runs through its busy pictures.
        busy = set()
        for _ in range(6):
            busy.add(self.tray_icon())
            time.sleep(0.15)
        self.assertGreater(len(busy), 1, "the icon does not move during the fetch")
        screenshots.take(self.env, self.shots / "stall-busy.png")

        # Stop: the icon rests on the stopped picture within a second and stays there.
        asked = time.monotonic()
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, IDM_START_STOP, 0))
        self.assertTrue(wait_until(lambda: self.env.reg_value(KEY, "bOnline") == 0, 1))
        time.sleep(max(0.0, 1.0 - (time.monotonic() - asked)))
        early = [self.tray_icon()]
        for _ in range(3):
            time.sleep(0.25)
            early.append(self.tray_icon())
        time.sleep(1.5)
        stopped = self.tray_icon()
        screenshots.take(self.env, self.shots / "stall-stopped.png")
        self.assertEqual(early, [stopped] * len(early), "the icon had not settled a second after Stop")
        self.assertNotIn(stopped, busy)
        self.assertEqual(len(self.server.requests()), before + 1)

        # Start asks for the page again at once; exit during that stall takes under a second, with
        # the ticker's thread ending by itself.
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, IDM_START_STOP, 0))
        self.assertTrue(self.wait_requests(before + 2, 3), "no fetch after Start")
        self.assertIn("slot=stall", self.server.requests()[before + 1])
        time.sleep(0.5)
        asked = time.monotonic()
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, 1, 0))
        self.assertEqual(p.wait(10), 0)
        self.assertLess(time.monotonic() - asked, 1.0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
