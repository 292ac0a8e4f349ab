"""The programs started on settings another program spoiled: every value their readers read given
the wrong type, zero bytes, 1 MiB, bytes that are not Shift_JIS, or taken away. The ticker, its
dialogs, the companion and the catalogue must start, keep running, do their default and write
nothing they were not asked to (bSetup exists, so no first-run values).

The desktop settings under "Control Panel" are the prefix's own: each test that spoils them puts
the values it found back. Screenshots go to ZELLORA_SHOTS (a folder) when it is set."""

import os
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import screenshots  # noqa: E402
from ticker_screen_test import Server  # noqa: E402
from winehelp import WM_CLOSE, WM_COMMAND, WineEnv, reg_text, wait_until, win_path  # noqa: E402

KEY = r"HKCU\Software\HOSHIRAI\Zellora"
REG_KEY = r"HKEY_CURRENT_USER\Software\HOSHIRAI\Zellora"
TITLE = "__@ZELLORA@__"

NUMBERS = {"": ["bOnline"], "Option": ["Howto", "Order", "loopCount", "Sleep", "Speed", "DeskPer", "bProxyAuth"]}
TEXTS = {"": ["homeId"], "Option": ["ProxyUser", "ProxyPassword"]}
ENTRY_TEXTS = ["Title", "URL", "REFERRER"]
ENTRY_KEYS = [r"URL_List\URL00000000", r"URL_List\URL00000001", r"URL_List\TEMP_URL"]


def hex_bytes(data):
    return ",".join("%02x" % b for b in data)


def typed(kind, data):
    return "hex(%x):%s" % (kind, hex_bytes(data))


# Each form: what a number value and what a text value hold, as .reg data (None: no value).
FORMS = {
    "wrong type": ('"7"', "dword:00000007"),
    "zero bytes": (typed(4, b""), typed(1, b"")),
    "1 MiB": ("hex:" + hex_bytes(b"\x7f" * (1 << 20)), typed(1, b"a" * (1 << 20) + b"\0")),
    "invalid Shift_JIS": (typed(1, b"\x81\x7f\xa0\xfd\x82\0"), typed(1, b"\x81\x7f\xa0\xfd\x82\0")),
    "missing": (None, None),
}


PANEL = r"HKCU\Control Panel"
PANEL_REG = r"HKEY_CURRENT_USER\Control Panel"
# The desktop settings the ticker's wallpaper capture reads (all text).
PANEL_VALUES = [("Desktop", "Wallpaper"), ("Desktop", "WallpaperStyle"), ("Desktop", "TileWallpaper"),
                ("Colors", "Background")]
YELLOW = (255, 232, 64)
STRIP_COLOUR = (10, 200, 30)  # the desktop colour while the wallpaper files are tried
IDM_URL_SETTINGS, IDM_OPTIONS = 1000, 32771
IDCANCEL = 2
BM_CLICK, LB_SETCURSEL, LBN_SELCHANGE = 0x00F5, 0x0186, 1
IDC_REG_BROWSE, IDC_REG_LIST = 1020, 1019
OPTIONS_TITLE, REGIST_TITLE, SELECT_TITLE = " オプション設定", " URL登録", " URL選択"
CATALOGUE_TITLE = "HOSHIRAI オンラインカタログ （2012年1月号）"
FLASH_WORDS = ("特報", "号外", "緊急")


def sections(exported):
    """A `reg export` as {key: set of its value lines}."""
    result = {}
    current = None
    for line in exported.decode("utf-16").splitlines():
        if line.startswith("["):
            current = line
            result[current] = set()
        elif line and current is not None:
            result[current].add(line)
    return result


def bitmap(width, height, pixels):
    """A 24-bit .bmp file header promising width x height, followed by the given pixel bytes."""
    row = (width * 3 + 3) & ~3
    header = b"BM" + (54 + len(pixels)).to_bytes(4, "little") + b"\0\0\0\0" + (54).to_bytes(4, "little")
    info = (40).to_bytes(4, "little") + width.to_bytes(4, "little") + height.to_bytes(4, "little")
    info += (1).to_bytes(2, "little") + (24).to_bytes(2, "little") + b"\0" * 4
    info += (row * height & 0xFFFFFFFF).to_bytes(4, "little") + b"\0" * 16
    return header + info + pixels


class HostileSettingsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.env = WineEnv()
        cls.env.prepare()
        cls.exe = cls.env.program("ticker/Zellora.exe")
        cls.server = Server(cls.env)
        cls.server.folder.joinpath("short.html").write_bytes(
            "<html><head><title>短信</title></head><body>速報です、本日の天気は晴れ</body></html>".encode("cp932"))
        shots = os.environ.get("ZELLORA_SHOTS")
        cls.shots = Path(shots) if shots else cls.env.tmp_dir
        cls.shots.mkdir(parents=True, exist_ok=True)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def setUp(self):
        for exe in ("Zellora.exe", "desktop_preview.exe", "Catalogue.exe", "Zellmate.exe", "zellmate_probe.exe"):
            self.env.kill_leftovers(exe)
            self.addCleanup(self.env.kill_leftovers, exe)
        self.addCleanup(self.env.kill_started)
        self.env.reg_delete(KEY)

    # Registry ------------------------------------------------------------------------------

    def import_reg(self, keys, name="hostile.reg"):
        """Imports {full key: {value name: .reg data, or None to delete the value}}."""
        self.assertTrue(self.env.reg_import(keys, name), "reg import failed: " + self.env.last_error)

    def export(self, name, key=KEY):
        path = self.env.tmp_dir / name
        if path.exists():
            path.unlink()
        rc, _ = self.env.reg_once_more("export", key, win_path(path), "/y", timeout=300)
        self.assertEqual(rc, 0)
        return path.read_bytes()

    def keep_panel(self):
        """Remembers the prefix's desktop settings and puts them back when the test ends."""
        saved = {}
        for key, name in PANEL_VALUES:
            value = self.env.reg_value(PANEL + "\\" + key, name)
            saved.setdefault(PANEL_REG + "\\" + key, {})[name] = None if value is None else reg_text(str(value))
        self.addCleanup(self.import_reg, saved, "restore.reg")

    def spoil_panel(self, data, **fixed):
        """Every desktop setting holding data (.reg data of a text value, None: taken away), except
        the ones given by name, which hold that plain text."""
        keys = {}
        for key, name in PANEL_VALUES:
            keys.setdefault(PANEL_REG + "\\" + key, {})[name] = reg_text(fixed[name]) if name in fixed else data
        self.import_reg(keys, "panel.reg")

    def start_ticker(self, form):
        p = self.env.start(self.exe)
        self.assertTrue(self.env.wait_window(TITLE), form + ": no main window")
        self.assertTrue(self.env.wait_window("_ZELL_DIALOG_"), form + ": no ticker window")
        return p

    def quit_ticker(self, p, form):
        self.assertTrue(p.alive(), form + ": the ticker ended")
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, 1, 0))
        self.assertEqual(p.wait(20), 0, form + ": did not end on command 1")

    def assert_unchanged(self, before, after, form, created_password=False):
        if created_password:
            # A scrambled read creates a missing password holding the empty text; that is the one
            # value a reader writes.
            b = before.decode("utf-16")
            a = after.decode("utf-16")
            extra = set(a.splitlines()) - set(b.splitlines())
            self.assertTrue(all(line.startswith('"ProxyPassword"=') for line in extra), extra)
            self.assertEqual(set(b.splitlines()) - set(a.splitlines()), set())
        else:
            self.assertEqual(after, before, form + ": the settings changed")

    def write_reg(self, number, text, extra=None):
        """Every value the readers read in one form (None: missing); extra: {sub-key: {name: data}}
        written over it."""
        keys = {"": {"bSetup": "dword:00000001"}, "Option": {}, "URL_List": {}}
        for sub, names in NUMBERS.items():
            for n in names:
                if number is not None:
                    keys[sub][n] = number
        for sub, names in TEXTS.items():
            for n in names:
                if text is not None:
                    keys[sub][n] = text
        for sub in ENTRY_KEYS:
            keys[sub] = {}
            for n in ENTRY_TEXTS:
                if text is not None:
                    keys[sub][n] = text
            if number is not None:
                keys[sub]["Filter"] = number
        for sub, values in (extra or {}).items():
            keys.setdefault(sub, {}).update(values)
        self.import_reg({REG_KEY + ("\\" + sub if sub else ""): values for sub, values in keys.items()})

    def test_every_form_starts_keeps_running_and_writes_nothing(self):
        for form, (number, text) in FORMS.items():
            with self.subTest(form=form):
                self.env.reg_delete(KEY)
                self.write_reg(number, text)
                before = self.export("before.reg")
                # The spoiled values are really there.
                listed = before.decode("utf-16")
                self.assertEqual('"Speed"=' in listed, number is not None, form)
                self.assertEqual('"homeId"=' in listed, text is not None, form)
                if form == "1 MiB":
                    self.assertGreater(len(before), 1 << 21)
                p = self.env.start(self.exe)
                self.assertTrue(self.env.wait_window(TITLE), form + ": no main window")
                time.sleep(4)
                self.assertTrue(p.alive(), form + ": the ticker ended")
                shot = self.env.tmp_dir / ("hostile-%s.png" % form.replace(" ", "_"))
                self.env.screenshot(shot)
                self.assertTrue(self.env.post(TITLE, WM_COMMAND, 1, 0))
                self.assertEqual(p.wait(20), 0, form + ": did not end on command 1")
                after = self.export("after.reg")
                if form == "missing":
                    # A scrambled read creates a missing password holding the empty text; that is
                    # the one value the ticker writes.
                    b = before.decode("utf-16")
                    a = after.decode("utf-16")
                    extra = set(a.splitlines()) - set(b.splitlines())
                    self.assertTrue(all(line.startswith('"ProxyPassword"=') for line in extra), extra)
                    self.assertEqual(set(b.splitlines()) - set(a.splitlines()), set())
                else:
                    self.assertEqual(after, before, form + ": the settings changed")


    # The desktop settings ------------------------------------------------------------------

    def desktop_mode(self, marker):
        """The ticker's own settings for the desktop mode, fetching the short test page."""
        self.env.reg_delete(KEY)
        self.import_reg({REG_KEY: {"bSetup": "dword:00000001", "bOnline": "dword:00000001"},
                         REG_KEY + r"\Option": {n: "dword:00000000" for n in ("Speed", "Sleep", "loopCount",
                                                                               "DeskPer")},
                         REG_KEY + r"\URL_List\URL00000000": {
                             "Title": reg_text("短信"), "URL": reg_text(self.server.url("file=short.html&" + marker)),
                             "Filter": "dword:0000000a"}}, "ticker.reg")
        self.env.reg_add(KEY + r"\Option", "Howto", 1)

    def fetches(self, marker):
        return len([r for r in self.server.requests() if marker in r])

    def wallpaper_files(self):
        """(name, Windows path) of wallpapers that are no picture the loader should take."""
        folder = self.env.tmp_dir / "walls"
        folder.mkdir(exist_ok=True)
        whole = (self.env.source_dir / "ticker" / "display" / "testdata" / "halves.bmp").read_bytes()
        (folder / "empty.bmp").write_bytes(b"")
        (folder / "truncated.bmp").write_bytes(whole[:len(whole) // 2])
        (folder / "huge.bmp").write_bytes(bitmap(60000, 60000, b"\x80" * 4096))
        (folder / "folder.bmp").mkdir(exist_ok=True)
        return [(name, win_path(folder / name)) for name in
                ("missing.bmp", "folder.bmp", "empty.bmp", "truncated.bmp", "huge.bmp")]

    def test_desktop_settings_in_every_form_under_the_desktop_mode(self):
        """Zellora in the desktop mode reads the wallpaper settings on every tick (Wine has no
        desktop list view, so it draws nothing there): it starts on each form, keeps rotating,
        takes the wallpaper files that are no pictures as none, and writes nothing anywhere."""
        self.keep_panel()
        for form, (_, text) in FORMS.items():
            with self.subTest(form=form):
                marker = "panel=" + form.replace(" ", "_")
                self.desktop_mode(marker)
                self.spoil_panel(text)
                panel = self.export("panel-before.reg", PANEL)
                own = self.export("before.reg")
                p = self.start_ticker(form)
                self.assertTrue(wait_until(lambda: self.fetches(marker) >= 1, 20), form + ": nothing fetched")
                time.sleep(2)
                self.quit_ticker(p, form)
                self.assertEqual(self.export("panel-after.reg", PANEL), panel, form + ": Control Panel changed")
                self.assertEqual(self.export("after.reg"), own, form)

        # One run, the wallpaper changed under it to each file that is no picture, in each layout.
        marker = "panel=files"
        self.desktop_mode(marker)
        self.spoil_panel(None, Background="10 200 30")
        own = self.export("before.reg")
        p = self.start_ticker("files")
        self.assertTrue(wait_until(lambda: self.fetches(marker) >= 1, 20))
        for i, (name, path) in enumerate(self.wallpaper_files()):
            self.spoil_panel(None, Wallpaper=path, WallpaperStyle="2" if i % 2 else "0",
                             TileWallpaper="1" if i % 3 == 2 else "0", Background="10 200 30")
            panel = self.export("panel-before.reg", PANEL)
            time.sleep(1)
            self.assertTrue(p.alive(), name)
            self.assertEqual(self.export("panel-after.reg", PANEL), panel, name + ": Control Panel changed")
        # Still rotating: the short line's passes go on fetching.
        count = self.fetches(marker)
        self.assertTrue(wait_until(lambda: self.fetches(marker) > count, 30), "the rotation stopped")
        self.quit_ticker(p, "files")
        self.assertEqual(self.export("after.reg"), own)

    def strip(self):
        """(text pixels, desktop-colour pixels) of the strip at the top right quarter."""
        shot = screenshots.take(self.env)
        left = shot.width * 3 // 4
        return (shot.count(YELLOW, 0, 20, left, shot.width),
                shot.count(STRIP_COLOUR, 0, 20, left, shot.width)), shot

    def test_the_strip_shows_over_every_spoiled_desktop_setting(self):
        """The desktop strip on a mock shell desktop of its own process (desktop_preview), the
        settings spoiled under it while it runs: the text keeps showing, over the desktop colour
        when the wallpaper file is no picture."""
        self.keep_panel()
        self.spoil_panel(None, Background="10 200 30")
        root = r"HKEY_CURRENT_USER\Software\ZelloraTest\HostileDesktop"
        os.environ["ZELLORA_PREVIEW_ROOT"] = root
        self.addCleanup(os.environ.pop, "ZELLORA_PREVIEW_ROOT", None)
        self.addCleanup(self.env.reg_delete, r"HKCU\Software\ZelloraTest\HostileDesktop")
        p = self.env.start(self.env.program("ticker/desktop_preview.exe"), 90000)
        rc, _ = self.env.wintool("waitpixel", *YELLOW, 0, 20, 20000, timeout=40)
        self.assertEqual(rc, 0, "no strip on the mock desktop")
        # The text reaches the strip's left end after a while: wait until it fills the strip.
        self.assertTrue(wait_until(lambda: self.strip()[0][0] > 150, 30), self.strip()[0])

        cases = [(form, text, {}) for form, (_, text) in FORMS.items()]
        cases += [(name, None, {"Wallpaper": path, "WallpaperStyle": "2" if i % 2 else "0",
                                "TileWallpaper": "1" if i % 3 == 2 else "0", "Background": "10 200 30"})
                  for i, (name, path) in enumerate(self.wallpaper_files())]
        for name, text, fixed in cases:
            with self.subTest(case=name):
                self.spoil_panel(text, **fixed)
                panel = self.export("panel-before.reg", PANEL)
                if fixed:
                    # The picture is none: the strip's background is the desktop colour.
                    self.assertTrue(wait_until(lambda: self.strip()[0][1] > 1000, 5), (name, self.strip()[0]))
                time.sleep(1)
                (text_pixels, _), shot = self.strip()
                self.assertGreater(text_pixels, 20, name + ": no text in the strip")
                self.env.run("convert", "-size", "%dx%d" % (shot.width, shot.height), "-depth", "8",
                             "rgb:" + str(self.env.tmp_dir / "shot.rgb"), "-crop",
                             "%dx40+%d+0" % (shot.width // 2, shot.width // 2),
                             str(self.shots / ("strip-%s.png" % name.replace(" ", "_"))))
                self.assertTrue(p.alive(), name)
                self.assertEqual(self.export("panel-after.reg", PANEL), panel, name + ": Control Panel changed")
        self.assertTrue(self.env.post("_ZELL_DIALOG_", WM_CLOSE, 0, 0))
        self.assertIsNotNone(p.wait(20))


    # The dialogs -----------------------------------------------------------------------------

    def window_starting(self, title):
        """The hwnd of the visible top-level window whose title starts with title, or None."""
        for w in self.env.windows():
            if w["visible"] and w["title"].startswith(title):
                return w["hwnd"]
        return None

    def shoot(self, name):
        screenshots.take(self.env, self.shots / (name.replace(" ", "_") + ".png"))

    def open_dialogs_and_cancel(self, form, entry=0):
        """The options dialog, the registration dialog with entry chosen, and from it the selection
        dialog: each opens and is cancelled."""
        self.assertTrue(self.env.post(TITLE, WM_COMMAND, IDM_OPTIONS, 0))
        self.assertTrue(self.env.wait_window(OPTIONS_TITLE, 10), form + ": no options dialog")
        time.sleep(0.3)
        self.shoot("options-" + form)
        self.assertTrue(self.env.post(OPTIONS_TITLE, WM_COMMAND, IDCANCEL, 0))
        self.assertTrue(self.env.wait_window_gone(OPTIONS_TITLE, 10), form)

        self.assertTrue(self.env.post(TITLE, WM_COMMAND, IDM_URL_SETTINGS, 0))
        self.assertTrue(self.env.wait_window(REGIST_TITLE, 10), form + ": no registration dialog")
        self.env.wintool("postchild", REGIST_TITLE, IDC_REG_LIST, LB_SETCURSEL, entry, 0)
        self.env.post(REGIST_TITLE, WM_COMMAND, (LBN_SELCHANGE << 16) | IDC_REG_LIST, 0)
        time.sleep(0.3)
        self.shoot("regist-" + form)
        self.env.wintool("postchild", REGIST_TITLE, IDC_REG_BROWSE, BM_CLICK, 0, 0)
        self.assertTrue(wait_until(lambda: self.window_starting(SELECT_TITLE) is not None, 15),
                        form + ": no selection dialog")
        time.sleep(1.5)
        self.shoot("select-" + form)
        select = "#0x%x" % self.window_starting(SELECT_TITLE)
        self.assertTrue(self.env.post(select, WM_COMMAND, IDCANCEL, 0))
        self.assertTrue(wait_until(lambda: self.window_starting(SELECT_TITLE) is None, 10), form)
        self.assertTrue(self.env.post(REGIST_TITLE, WM_COMMAND, IDCANCEL, 0))
        self.assertTrue(self.env.wait_window_gone(REGIST_TITLE, 10), form)

    def test_the_dialogs_open_on_every_form_and_cancel_writes_nothing(self):
        for form, (number, text) in FORMS.items():
            with self.subTest(form=form):
                self.env.reg_delete(KEY)
                self.write_reg(number, text)
                before = self.export("before.reg")
                p = self.start_ticker(form)
                self.open_dialogs_and_cancel(form)
                self.quit_ticker(p, form)
                self.assert_unchanged(before, self.export("after.reg"), form, created_password=form == "missing")


    # The companion and the catalogue -------------------------------------------------------

    def call_companion(self, method, title, url, referrer):
        """Creates "Zellmate.Application" from a script and calls one method (COM starts the
        companion from its registration); the script's exit code is 5 on success."""
        def lit(text):
            return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'
        self.assertTrue(self.env.wait_exited("Zellmate.exe"), "the companion of the last call still runs")
        path = self.env.tmp_dir / "client.js"
        path.write_bytes((
            "var z = null;\r\n"
            "for (var tries = 0; tries < 3 && z == null; tries++) {\r\n"
            '  try { z = new ActiveXObject("Zellmate.Application"); } catch (e) { z = null; }\r\n'
            "}\r\n"
            "if (z == null) WScript.Quit(8);\r\n"
            "try { z.%s(%s, %s, %s); } catch (e) {\r\n"
            '  WScript.Echo("the call failed: " + (e.number >>> 0).toString(16) + " " + e.description);\r\n'
            "  WScript.Quit(9);\r\n"
            "}\r\n"
            "z = null;\r\nWScript.Quit(5);\r\n" % (method, lit(title), lit(url), lit(referrer))).encode("cp932"))
        rc, out = self.env.wine("cscript", "//nologo", win_path(path), timeout=60)
        self.assertEqual(rc, 5, out)

    def start_standin(self):
        log = self.env.tmp_dir / ("commands-%d.txt" % time.monotonic_ns())
        log.touch()
        p = self.env.start(self.env.program("companion/zellmate_probe.exe"), "standin", win_path(log))
        self.assertTrue(self.env.wait_window(TITLE), "the stand-in ticker did not appear")
        return p, log

    def stop_standin(self, p):
        self.env.post(TITLE, WM_CLOSE)
        self.assertIsNotNone(p.wait(10))

    def test_the_companion_adds_and_sends_on_every_form_and_keeps_the_rest(self):
        rc, _ = self.env.wine(self.env.program("companion/Zellmate.exe"))
        self.assertEqual(rc, 0, "the companion's registration run failed")
        good = REG_KEY + r"\URL_List\URL00000002"
        temp = REG_KEY + r"\URL_List\TEMP_URL"
        for form, (number, text) in FORMS.items():
            with self.subTest(form=form):
                self.env.reg_delete(KEY)
                # Slots 0 and 1 and TEMP_URL spoiled, slot 2 as the ticker writes it.
                self.write_reg(number, text, {r"URL_List\URL00000002": {
                    "Title": reg_text("良い頁"), "URL": reg_text("http://127.0.0.1/good"),
                    "REFERRER": reg_text(""), "Filter": "dword:0000001e"}})
                before = sections(self.export("before.reg"))
                p, log = self.start_standin()
                self.call_companion("AddURL", "追加頁", "http://127.0.0.1/added", "http://127.0.0.1/from")
                after = sections(self.export("after.reg"))
                # Every key and value but the new slot is as it was.
                added = "[%s]" % (REG_KEY + r"\URL_List\URL00000003")
                self.assertEqual(after.pop(added), {'"Title"="追加頁"', '"URL"="http://127.0.0.1/added"',
                                                    '"REFERRER"="http://127.0.0.1/from"', '"Filter"=dword:00000028'})
                self.assertEqual(after, before, form)
                self.assertTrue(wait_until(lambda: log.read_text().split() == ["10003"], 5), log.read_text())

                # SendURL replaces TEMP_URL and nothing else.
                self.call_companion("SendURL", "速報", "http://127.0.0.1/sent", "")
                again = sections(self.export("after.reg"))
                sent = again.pop("[%s]" % temp)
                self.assertIn('"URL"="http://127.0.0.1/sent"', sent)
                self.assertIn('"Filter"=dword:00000028', sent)
                self.assertIn(next(line for line in sent if line.startswith('"Title"=')).split("=", 1)[1][1:3],
                              FLASH_WORDS)
                before.pop("[%s]" % temp)
                again.pop(added)
                self.assertEqual(again, before, form)
                self.assertTrue(wait_until(lambda: log.read_text().split() == ["10003", "11000"], 5))
                self.assertIn("[%s]" % good, again)
                self.stop_standin(p)

    def test_the_catalogue_starts_on_every_form_and_writes_nothing(self):
        self.keep_panel()
        for form, (number, text) in FORMS.items():
            with self.subTest(form=form):
                self.env.reg_delete(KEY)
                self.write_reg(number, text)
                self.spoil_panel(text)
                own = self.export("before.reg")
                panel = self.export("panel-before.reg", PANEL)
                p = self.env.start(self.env.program("catalogue/Catalogue.exe"))
                self.assertTrue(self.env.wait_window(CATALOGUE_TITLE), form + ": no catalogue window")
                # It works: the next page comes.
                self.assertTrue(self.env.post(CATALOGUE_TITLE, WM_COMMAND, 1000, 0))
                self.env.send(CATALOGUE_TITLE, 0, 0, 0)
                rc, out = self.env.wintool("item", CATALOGUE_TITLE, 1001)
                self.assertTrue(out.startswith("1 1"), form + ": the previous-page button: " + out)
                time.sleep(0.5)
                self.shoot("catalogue-" + form)
                self.assertTrue(self.env.post(CATALOGUE_TITLE, WM_CLOSE, 0, 0))
                self.assertEqual(p.wait(20), 0, form)
                self.assertEqual(self.export("after.reg"), own, form)
                self.assertEqual(self.export("panel-after.reg", PANEL), panel, form)


    # The largest list ----------------------------------------------------------------------

    def test_thirty_two_slots_of_64_kib_titles(self):
        """32 slots, each a 64 KiB title and a 2 KiB URL: the ticker starts and shows the slots
        it is sent to, the favourites menu and the dialogs list them, the companion finds the
        list full and its flash entry is shown; nothing is lost or changed."""
        rc, _ = self.env.wine(self.env.program("companion/Zellmate.exe"))
        self.assertEqual(rc, 0)
        self.env.reg_delete(KEY)
        titles = []
        keys = {REG_KEY: {"bSetup": "dword:00000001", "bOnline": "dword:00000001"},
                REG_KEY + r"\Option": {"Howto": "dword:00000000", "Speed": "dword:00000000",
                                       "Sleep": "dword:00000000", "loopCount": "dword:00000000"}}
        for slot in range(32):
            title = "第%02d面" % slot
            title += "長" * ((65536 - len(title.encode("cp932"))) // 2)
            self.assertEqual(len(title.encode("cp932")), 65536)
            titles.append(title)
            keys[REG_KEY + r"\URL_List\URL%08X" % slot] = {
                "Title": reg_text(title), "URL": reg_text(self.server.url("file=news.html&big=%d&pad=%s" % (
                    slot, "p" * 2048))), "REFERRER": reg_text(""), "Filter": "dword:0000000a"}
        self.import_reg(keys, "big.reg")
        before = self.export("before.reg")
        self.assertGreater(len(before), 32 * 65536)

        def fetched(slot):
            return any("big=%d&" % slot in r for r in self.server.requests())

        p = self.start_ticker("big")
        self.assertTrue(wait_until(lambda: fetched(0), 20), "slot 0 was not fetched")
        self.assertTrue(wait_until(lambda: screenshots.take(self.env).count(YELLOW, 1004, 1024) > 20, 10),
                        "no text in the bar")
        self.shoot("big-bar")
        for slot in (31, 15):
            self.assertTrue(self.env.post(TITLE, WM_COMMAND, 10000 + slot, 0))
            self.assertTrue(wait_until(lambda: fetched(slot), 10), "slot %d was not fetched" % slot)

        # The favourites submenu: the third item of the tray menu.
        self.assertEqual(self.env.wintool("postchild", TITLE, 1102, 0x8000, 0, 0x0205)[0], 0)
        self.assertTrue(wait_until(lambda: self.env.find_window("-", "#32768") is not None, 5), "no menu")
        for key in (0x28, 0x28, 0x28, 0x27):  # down three times, right
            self.env.wintool("postclass", "#32768", 0x0100, key, 0)
        time.sleep(1)
        self.shoot("big-favourites")
        for _ in range(2):
            self.env.wintool("postclass", "#32768", 0x0100, 0x1B, 0)
            time.sleep(0.3)
        self.assertTrue(wait_until(lambda: self.env.find_window("-", "#32768") is None, 5))

        self.open_dialogs_and_cancel("big", entry=31)
        self.assertTrue(wait_until(lambda: len([r for r in self.server.requests() if "big=31&" in r]) >= 2, 10),
                        "the selection dialog did not load slot 31's page")

        # The list is full: the companion adds nothing; its flash entry is shown and taken away.
        self.call_companion("AddURL", "溢れる頁", "http://127.0.0.1/full", "")
        self.call_companion("SendURL", "速報", self.server.url("file=news.html&sent=1"), "")
        self.assertTrue(wait_until(lambda: any("sent=1" in r for r in self.server.requests()), 15),
                        "the flash entry was not fetched")
        self.assertTrue(wait_until(lambda: not self.env.reg_exists(KEY + r"\URL_List\TEMP_URL"), 10))
        self.quit_ticker(p, "big")
        self.assert_unchanged(before, self.export("after.reg"), "big", created_password=True)


if __name__ == "__main__":
    unittest.main(verbosity=2)
