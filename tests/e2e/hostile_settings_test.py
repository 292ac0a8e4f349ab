"""Zellora.exe started on settings another program spoiled: every value its readers read given the
wrong type, zero bytes, 1 MiB, bytes that are not Shift_JIS, or taken away. The ticker must start,
keep running and write nothing it was not asked to (bSetup exists, so no first-run values)."""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from winehelp import WM_COMMAND, WineEnv  # noqa: E402

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


class HostileSettingsTest(unittest.TestCase):
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

    def write_reg(self, number, text):
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
        lines = ["Windows Registry Editor Version 5.00", ""]
        for sub, values in keys.items():
            lines.append("[%s%s]" % (REG_KEY, "\\" + sub if sub else ""))
            lines.extend('"%s"=%s' % (n, v) for n, v in values.items())
            lines.append("")
        path = self.env.tmp_dir / "hostile.reg"
        path.write_bytes("\r\n".join(lines).encode("utf-16"))
        rc, _ = self.env.wine("reg", "import", "Z:" + str(path).replace("/", "\\"), timeout=300)
        self.assertEqual(rc, 0, "reg import failed")

    def export(self, name):
        path = self.env.tmp_dir / name
        if path.exists():
            path.unlink()
        rc, _ = self.env.wine("reg", "export", KEY, "Z:" + str(path).replace("/", "\\"), "/y", timeout=300)
        self.assertEqual(rc, 0)
        return path.read_bytes()

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


if __name__ == "__main__":
    unittest.main(verbosity=2)
