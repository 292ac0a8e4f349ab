"""Zellora-Setup.exe: a silent install puts the programs, the settings, the browser menu entries,
the automation server, the browser extension with its native messaging host, the Start-menu entries,
the start with Windows and the uninstall entry in place and leaves exactly one ticker running; an
update over a running ticker ends it first; a silent uninstall while the ticker runs (stalled in a
fetch, even) waits for it to end and takes away exactly what was installed."""

import json
import os
import signal
import shutil
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from winehelp import WineEnv, reg_dword, reg_text, wait_until  # noqa: E402

TITLE = "__@ZELLORA@__"
SETTINGS = r"HKCU\Software\HOSHIRAI\Zellora"
MENU = r"HKCU\Software\Microsoft\Internet Explorer\MenuExt"
MENU_KEYS = ["Zelloraに追加", "Zelloraに送る"]
PROGID = r"HKCR\Zellmate.Application"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zellora"
RUN = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
PENDING = r"HKLM\System\CurrentControlSet\Control\Session Manager"
RUN_COMMAND = '"C:\\Program Files\\HOSHIRAI\\Zellora\\Zellora.exe"'
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
        # A start with Windows left behind would start a ticker whenever the prefix boots.
        self.addCleanup(self.env.reg_delete, RUN, "Zellora")
        self.env.reg_delete(RUN, "Zellora")
        # What an earlier run that failed half-way left installed.
        for folder in (self.folder.parent, self.menu_folder):
            shutil.rmtree(folder, ignore_errors=True)
        for key in (SETTINGS, PROGID, UNINSTALL) + tuple(MENU + "\\" + k for k in MENU_KEYS):
            self.env.reg_delete(key)

    def install(self, *switches):
        rc, _ = self.env.wine(str(self.setup), "/S", *switches, timeout=180)
        self.assertEqual(rc, 0)

    def uninstall(self):
        """Starts the silent uninstall; it copies itself away and returns at once."""
        self.env.wine(str(self.folder / "Uninstall.exe"), "/S", timeout=60)

    def tickers(self):
        """(windows titled like the ticker's main window, Zellora.exe processes)."""
        windows = [w for w in self.env.windows() if w["title"] == TITLE]
        return len(windows), len(self.env.pids_of("Zellora.exe"))

    def ended(self, pids):
        """Whether none of these processes runs (an ended one may stay a zombie: no command line)."""
        return not set(pids) & set(self.env.pids_of("Zellora.exe"))

    def assert_one_ticker(self):
        self.assertTrue(self.env.wait_window(TITLE, timeout=30), "the ticker did not start")
        # A second ticker, had one been started, would be there by now.
        time.sleep(3)
        self.assertEqual(self.tickers(), (1, 1))

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

    def uninstall_from(self, folder):
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
        self.addCleanup(self.uninstall_from, folder)
        self.assertEqual(rc, 0)
        self.check_host_registration("C:\\ゼローラ\\Zellora\\", folder)
        self.assertTrue(self.uninstall_from(folder), "the uninstall did not finish")
        for key, _ in HOST_KEYS:
            self.assertFalse(self.env.reg_exists(key), key)
        self.assertTrue(wait_until(lambda: not folder.parent.exists(), 20), "the program folder is still there")

    def test_install_then_uninstall_while_the_ticker_runs(self):
        files_before = self.listing()
        registry_before = self.registry()

        self.install()
        for name in FILES:
            self.assertTrue((self.folder / name).is_file(), name)
        self.assertFalse((self.folder / "zellora_helper.exe").exists(), "the helper is not installed")
        # The installer starts the ticker once, as the desktop's user (through Wine's desktop
        # process, which answers the shell's way); it writes the first-run values.
        self.assert_one_ticker()
        self.assertTrue(wait_until(lambda: self.env.reg_value(SETTINGS, "bSetup") == 1, 10))
        self.assertEqual(self.env.reg_value(SETTINGS, "bOnline"), 1)
        # It starts with Windows, for every user.
        self.assertEqual(self.env.reg_value(RUN, "Zellora"), RUN_COMMAND)
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
        self.uninstall()
        self.assertTrue(wait_until(lambda: not self.env.reg_exists(UNINSTALL), 60, 0.5), "the uninstall did not finish")
        self.assertTrue(wait_until(lambda: self.env.find_window(TITLE) is None, 20), "the ticker still runs")
        self.assertEqual(self.env.pids_of("Zellora.exe"), [])
        self.assertIsNone(self.env.reg_value(RUN, "Zellora"))
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

    def test_update_over_a_running_ticker_and_uninstall_during_a_stalled_fetch(self):
        server = self.start_server()
        # Settings of an earlier installation whose only page stalls for a minute in the middle of
        # its body: the ticker is inside its fetch whenever it is asked to end.
        self.env.reg_delete(SETTINGS)
        key = SETTINGS.replace("HKCU", "HKEY_CURRENT_USER", 1)
        stall = "http://127.0.0.1:%d/page?body=%s&stall=10&stall_secs=60" % (server.port, "x" * 100)
        self.assertTrue(self.env.reg_import({
            key: {"bSetup": reg_dword(1), "bOnline": reg_dword(1)},
            key + r"\Option": {"Howto": reg_dword(0)},
            key + r"\URL_List\URL00000000": {"Title": reg_text("止まる新聞"), "URL": reg_text(stall),
                                            "Filter": reg_dword(10)},
        }, "stall.reg"), self.env.last_error)

        self.install()
        self.assert_one_ticker()
        first = self.env.pids_of("Zellora.exe")
        self.assertTrue(wait_until(lambda: server.requests() >= 1, 20), "the ticker did not fetch")
        self.assertEqual(self.env.reg_value(RUN, "Zellora"), RUN_COMMAND)

        # An update with the start with Windows cleared: the running ticker is ended (its fetch
        # stalls, so that takes seconds), its program replaced, and one new ticker started.
        self.install("/NOAUTORUN")
        self.assertTrue(self.ended(first), "the old ticker still runs")
        self.assert_one_ticker()
        self.assertNotEqual(self.env.pids_of("Zellora.exe"), first)
        self.assertIsNone(self.env.reg_value(RUN, "Zellora"))
        self.assertTrue(wait_until(lambda: server.requests() >= 2, 20), "the new ticker did not fetch")

        # The uninstall, while that fetch stalls: the program file goes only after the ticker has
        # ended.
        ticker = self.env.pids_of("Zellora.exe")
        program = self.folder / "Zellora.exe"
        started = time.monotonic()
        self.uninstall()
        ticker_end = file_end = None
        while time.monotonic() - started < 60 and (ticker_end is None or file_end is None):
            now = time.monotonic() - started
            if ticker_end is None and self.ended(ticker):
                ticker_end = now
            if file_end is None and not program.exists():
                file_end = now
            time.sleep(0.05)
        self.assertIsNotNone(ticker_end, "the ticker did not end")
        self.assertIsNotNone(file_end, "Zellora.exe was not deleted")
        self.assertLessEqual(ticker_end, file_end)
        print("ticker ended after %.1f s, its program deleted after %.1f s" % (ticker_end, file_end), file=sys.stderr)
        self.assertTrue(wait_until(lambda: not self.env.reg_exists(UNINSTALL), 60, 0.5), "the uninstall did not finish")
        self.assertTrue(wait_until(lambda: not self.folder.exists(), 20), "the program folder is still there")
        self.assertFalse(self.env.reg_exists(SETTINGS))
        self.assertEqual(self.tickers(), (0, 0))

    def test_a_ticker_that_never_ends_has_its_program_deleted_at_the_next_restart(self):
        self.install("/NOAUTORUN")
        self.assert_one_ticker()
        # Frozen: it neither answers nor ends, and its program stays in use.
        frozen = self.env.pids_of("Zellora.exe")
        for pid in frozen:
            os.kill(pid, signal.SIGSTOP)
        # The restart must not delete what a later test installs.
        self.addCleanup(self.env.reg_delete, PENDING, "PendingFileRenameOperations")
        started = time.monotonic()
        self.uninstall()
        self.assertTrue(wait_until(lambda: not self.env.reg_exists(UNINSTALL), 90, 0.5), "the uninstall did not finish")
        # It waited for the ticker (about ten seconds) before giving up on it.
        self.assertGreaterEqual(time.monotonic() - started, 10)
        self.assertEqual(sorted(p.name for p in self.folder.iterdir()), ["Zellora.exe"])
        pending = self.env.reg_value(PENDING, "PendingFileRenameOperations") or ""
        self.assertIn(r"\Zellora\Zellora.exe", pending)
        self.assertFalse(self.env.reg_exists(SETTINGS))
        for pid in frozen:
            os.kill(pid, signal.SIGKILL)

    def start_server(self):
        folder = self.env.tmp_dir / "server"
        folder.mkdir(exist_ok=True)
        port_file = folder / "port"
        record = folder / "record.txt"
        record.write_bytes(b"")
        process = subprocess.Popen(
            [sys.executable, str(self.env.source_dir / "tools" / "http_test_server.py"), "--port-file",
             str(port_file), "--record", str(record), "--lifetime", "600"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(process.wait, 10)
        self.addCleanup(process.kill)
        self.assertTrue(wait_until(port_file.exists, 10), "the test server did not start")

        class Server:
            port = int(port_file.read_text().split()[0])

            @staticmethod
            def requests():
                return record.read_bytes().count(b"GET /page?")

        return Server


if __name__ == "__main__":
    unittest.main()
