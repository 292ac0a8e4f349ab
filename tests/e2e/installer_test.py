"""Zellora-Setup.exe: a silent install puts the programs, the settings, the browser menu entries,
the automation server, the browser extension with its native messaging host, the Start-menu entries
and the uninstall entry in place; a silent uninstall while the ticker runs ends it and takes away
exactly what was installed."""

import json
import os
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from winehelp import WineEnv, wait_until  # noqa: E402

TITLE = "__@ZELLORA@__"
SETTINGS = r"HKCU\Software\HOSHIRAI\Zellora"
MENU = r"HKCU\Software\Microsoft\Internet Explorer\MenuExt"
MENU_KEYS = ["Zelloraに追加", "Zelloraに送る"]
PROGID = r"HKCR\Zellmate.Application"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zellora"
FILES = ["Zellora.exe", "Zellmate.exe", "Catalogue.exe", "ZellAdd.htm", "ZellSend.htm", "Uninstall.exe"]
# The native messaging host's registration for every user: each browser's key and the manifest it
# names, in the installation folder.
HOST = "jp.hoshirai.zellmate"
HOST_KEYS = [
    (r"HKLM\Software\Google\Chrome\NativeMessagingHosts\\" + HOST, "zellmate-chromium.json"),
    (r"HKLM\Software\Microsoft\Edge\NativeMessagingHosts\\" + HOST, "zellmate-chromium.json"),
    (r"HKLM\Software\Mozilla\NativeMessagingHosts\\" + HOST, "zellmate-firefox.json"),
]
ORIGIN = "chrome-extension://njfelcioljopedogmojajlpfodpnbaim/"
FIREFOX_ID = "zellmate@hoshirai.jp"
EXTENSION_ARCHIVES = ["zellora-extension.zip", "zellora-extension-firefox.zip"]
WATCHED_KEYS = [SETTINGS, MENU, PROGID, UNINSTALL, r"HKCU\Software\HOSHIRAI",
                r"HKLM\Software\Google", r"HKLM\Software\Microsoft\Edge", r"HKLM\Software\Mozilla"]


def only_value(entry):
    """The one value of a key (its default value, whatever name reg gives it)."""
    assert entry is not None and len(entry[""]) == 1, entry
    return next(iter(entry[""].values()))


class InstallerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.env = WineEnv()
        cls.setup = Path(cls.env.program("installer/Zellora-Setup.exe"))
        if not cls.setup.exists():
            raise unittest.SkipTest("no setup program in this build (makensis or a program missing)")
        cls.env.prepare()
        cls.drive_c = Path(cls.env.prefix) / "drive_c"
        cls.folder = cls.drive_c / "Program Files" / "HOSHIRAI" / "Zellora"
        cls.extension = Path(cls.env.program("companion/extension"))
        cls.menu_folder = cls.drive_c / "ProgramData" / "Microsoft" / "Windows" / "Start Menu" / "Programs" / "Zellora"

    def setUp(self):
        for exe in ("Zellora.exe", "Zellmate.exe", "Catalogue.exe"):
            self.env.kill_leftovers(exe)
            self.addCleanup(self.env.kill_leftovers, exe)
        self.addCleanup(self.env.kill_started)

    def listing(self):
        """Every file and folder of the prefix's drive outside the system's own folders."""
        skip = {"windows", "users"}
        found = set()
        for top in self.drive_c.iterdir():
            if top.name.lower() in skip:
                continue
            for dirpath, dirnames, filenames in os.walk(top):
                for name in dirnames + filenames:
                    found.add(str(Path(dirpath, name).relative_to(self.drive_c)))
        return found

    def registry(self):
        tree = {key: self.env.reg_query(key) for key in WATCHED_KEYS}
        # The uninstaller removes the browser's menu-extension key when nothing but the companion's
        # entries were in it: an empty key and no key are the same state. So for the maker's key,
        # which the ticker's "/UNREGIST" leaves empty (in a fresh prefix it was not there before).
        for key in (MENU, r"HKCU\Software\HOSHIRAI"):
            if tree[key] in ({}, {"": {}}):
                tree[key] = None
        return tree

    def uninstall(self, folder):
        """Runs the uninstaller of folder, if it is still there; True when it finished. It copies
        itself away and returns at once; its work is done when the uninstall entry is gone."""
        if (folder / "Uninstall.exe").exists():
            self.env.wine(str(folder / "Uninstall.exe"), "/S", timeout=60)
        return wait_until(lambda: not self.env.reg_exists(UNINSTALL), 60, 0.5)

    def check_host_registration(self, installed, folder):
        """Each browser's key names a manifest in the installation folder (installed: its Windows
        name with a closing backslash), in UTF-8 JSON, whose path is the installed Zellmate.exe and
        which allows the extension of that kind of browser."""
        for key, name in HOST_KEYS:
            self.assertEqual(only_value(self.env.reg_query(key)), installed + name, key)
            manifest = json.loads((folder / name).read_bytes().decode("utf-8"))
            allowed = ({"allowed_extensions": [FIREFOX_ID]} if "firefox" in name else {"allowed_origins": [ORIGIN]})
            self.assertEqual(manifest, {"name": HOST, "description": manifest.get("description"),
                                        "path": installed + "Zellmate.exe", "type": "stdio", **allowed}, name)
            self.assertTrue(manifest["description"], name)

    def test_the_host_manifests_name_a_folder_outside_ascii_in_utf8(self):
        # The browsers read a manifest as UTF-8 whatever the system's code page: a folder name in
        # Japanese must not come out in code page 932.
        folder = self.drive_c / "ゼローラ" / "Zellora"
        rc, _ = self.env.wine(str(self.setup), "/S", r"/D=C:\ゼローラ\Zellora", timeout=120)
        self.addCleanup(self.uninstall, folder)
        self.assertEqual(rc, 0)
        self.check_host_registration("C:\\ゼローラ\\Zellora\\", folder)
        self.assertTrue(self.uninstall(folder), "the uninstall did not finish")
        for key, _ in HOST_KEYS:
            self.assertFalse(self.env.reg_exists(key), key)
        self.assertTrue(wait_until(lambda: not folder.parent.exists(), 20), "the program folder is still there")

    def test_install_then_uninstall_while_the_ticker_runs(self):
        # Start from an uninstalled system.
        for key in (SETTINGS, PROGID, UNINSTALL) + tuple(MENU + "\\" + k for k in MENU_KEYS):
            self.env.reg_delete(key)
        files_before = self.listing()
        registry_before = self.registry()

        rc, _ = self.env.wine(str(self.setup), "/S", timeout=120)
        self.assertEqual(rc, 0)
        for name in FILES:
            self.assertTrue((self.folder / name).is_file(), name)
        # The installer starts the ticker with "/REGIST": the first-run values are written.
        self.assertTrue(self.env.wait_window(TITLE, timeout=30), "the ticker did not start")
        self.assertTrue(wait_until(lambda: self.env.reg_value(SETTINGS, "bSetup") == 1, 10))
        self.assertEqual(self.env.reg_value(SETTINGS, "bOnline"), 1)
        # The browser menu entries point at the script pages in the folder; the server is registered.
        for key, page in zip(MENU_KEYS, ["ZellAdd.htm", "ZellSend.htm"]):
            entry = self.env.reg_query(MENU + "\\" + key)
            self.assertIsNotNone(entry, key)
            self.assertTrue(entry[""]["(既定)" if "(既定)" in entry[""] else next(iter(entry[""]))].endswith(page))
            self.assertEqual(entry[""]["contexts"], 0xF3)
        self.assertIsNotNone(self.env.reg_query(PROGID))
        # The browser extension beside the programs, as the build packed it.
        packed = self.extension / "zellora-extension"
        self.assertEqual(sorted(p.relative_to(self.folder / "zellora-extension") for p in
                                (self.folder / "zellora-extension").rglob("*")),
                         sorted(p.relative_to(packed) for p in packed.rglob("*")))
        for name in EXTENSION_ARCHIVES:
            self.assertEqual((self.folder / name).read_bytes(), (self.extension / name).read_bytes(), name)
        self.check_host_registration("C:\\Program Files\\HOSHIRAI\\Zellora\\", self.folder)
        # Start menu and the list of installed programs.
        links = sorted(p.name for p in self.menu_folder.glob("*.lnk"))
        self.assertEqual(len(links), 3, links)
        entry = self.env.reg_query(UNINSTALL)[""]
        self.assertIn("Uninstall.exe", entry["UninstallString"])
        self.assertEqual(entry["Publisher"], "HOSHIRAI")

        # The uninstaller copies itself away and returns at once; its work is done when the
        # uninstall entry is gone.
        rc, _ = self.env.wine(str(self.folder / "Uninstall.exe"), "/S", timeout=60)
        self.assertTrue(wait_until(lambda: not self.env.reg_exists(UNINSTALL), 60, 0.5), "the uninstall did not finish")
        self.assertTrue(wait_until(lambda: self.env.find_window(TITLE) is None, 20), "the ticker still runs")
        self.assertFalse(self.env.reg_exists(SETTINGS))
        for key in MENU_KEYS:
            self.assertFalse(self.env.reg_exists(MENU + "\\" + key), key)
        self.assertFalse(self.env.reg_exists(PROGID))
        for key, _ in HOST_KEYS:
            self.assertFalse(self.env.reg_exists(key), key)
        self.assertTrue(wait_until(lambda: not self.folder.exists(), 20), "the program folder is still there")
        self.assertFalse(self.menu_folder.exists())
        # Nothing else changed.
        self.assertEqual(self.listing(), files_before)
        self.assertEqual(self.registry(), registry_before)


if __name__ == "__main__":
    unittest.main()
