"""Helpers for the end-to-end tests: run the programs of the Windows build under Wine, in the build
tree's own prefix and X server (cmake/wine-env.sh), and watch them through their windows, the
registry and screenshots.

    from winehelp import WineEnv
    env = WineEnv()                                   # paths from ZELLORA_* or the source tree
    env.kill_leftovers("Zellora.exe")
    env.reg_delete(r"HKCU\\Software\\HOSHIRAI\\Zellora")
    p = env.start(env.program("ticker/Zellora.exe"))  # output goes to files, never to a pipe
    assert env.wait_window("__@ZELLORA@__")
    values = env.reg_query(r"HKCU\\Software\\HOSHIRAI\\Zellora")
    env.post("__@ZELLORA@__", WM_COMMAND, 1, 0)
    assert p.wait(10) == 0
    p.kill()                                          # always, e.g. in addCleanup

Windows programs run through "wine-env.sh exec", which passes their output on through files: a
Wine helper process (the desktop, services) started along with a program inherits its output, and
a pipe held open by it would make the caller wait for ever. Text to and from Windows programs is
the prefix's ANSI code page, Shift_JIS; it is decoded here.
"""

import os
import re
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

WM_NULL = 0x0000
WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
WM_TIMER = 0x0113
WM_COPYDATA = 0x004A
WM_APP = 0x8000

ANSI = "cp932"


class Process:
    """A program started with WineEnv.start. The pid is the Wine process of the program itself."""

    def __init__(self, popen, out_path, err_path):
        self.popen = popen
        self.pid = popen.pid
        self.out_path = out_path
        self.err_path = err_path

    def wait(self, timeout):
        """The exit code, or None when the program still runs after timeout seconds."""
        try:
            return self.popen.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def alive(self):
        return self.popen.poll() is None

    def kill(self):
        """Ends the program (only this process) if it still runs, and reaps it."""
        if self.popen.poll() is None:
            try:
                os.kill(self.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            try:
                self.popen.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass

    def output(self):
        return Path(self.out_path).read_bytes().decode(ANSI, errors="replace")

    def errors(self):
        return Path(self.err_path).read_bytes().decode("utf-8", errors="replace")


class WineEnv:
    def __init__(self):
        here = Path(__file__).resolve().parent
        self.source_dir = Path(os.environ.get("ZELLORA_SOURCE_DIR") or here.parent.parent)
        self.build_dir = Path(os.environ.get("ZELLORA_BUILD_DIR") or self.source_dir / "build" / "win64")
        self.script = str(self.source_dir / "cmake" / "wine-env.sh")
        # The desktop ctest gave this test (wine-env.sh says which folder that is); every command
        # below names the folder itself.
        base = os.environ.get("ZELLORA_WINE_HOME") or str(self.build_dir / "wine")
        r = subprocess.run([self.script, "home"], env=dict(os.environ, ZELLORA_WINE_HOME=base),
                           stdin=subprocess.DEVNULL, capture_output=True, text=True, check=True)
        self.wine_home = Path(r.stdout.strip())
        # Whatever this test starts (a browser whose host wrapper calls wine-env.sh) uses it too.
        os.environ["ZELLORA_WINE_HOME"] = str(self.wine_home)
        os.environ.pop("CTEST_RESOURCE_GROUP_0_WINE_DESKTOP", None)
        self.last_error = ""
        self.prefix = str(self.wine_home / "prefix")
        self.tmp_dir = Path(tempfile.mkdtemp(prefix="e2e-", dir=self._tmp_root()))
        self.processes = []

    def _tmp_root(self):
        root = self.wine_home / "tmp"
        root.mkdir(parents=True, exist_ok=True)
        return str(root)

    def environ(self):
        env = dict(os.environ)
        env["ZELLORA_WINE_HOME"] = str(self.wine_home)
        env.pop("ZELLORA_USE_DISPLAY", None)
        return env

    def program(self, relative):
        """The path of a program of the build, e.g. program("ticker/Zellora.exe")."""
        return str(self.build_dir / relative)

    # Running things ------------------------------------------------------------------------

    def prepare(self):
        """Makes the prefix and starts the X server and wineserver (idempotent)."""
        subprocess.run([self.script, "prepare"], env=self.environ(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300, check=True)

    def run(self, *args, timeout=60):
        """Runs a Linux command inside the environment (xdotool, import, ...): (exit code, text)."""
        r = subprocess.run([self.script, "run", *map(str, args)], env=self.environ(),
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
        return r.returncode, r.stdout.decode("utf-8", errors="replace")

    def wine(self, *args, timeout=60):
        """Runs a Windows program to its end: (exit code, its output decoded from Shift_JIS). What it
        wrote to its error output is kept in last_error.

        Now and then, under load, Wine's loader fails to start the process at all and says that
        ShellExecuteEx failed (in the prefix's language, on standard output or error): the program
        never ran, so it is started once more, and what was said the first time is shown."""
        for attempt in range(2):
            r = subprocess.run([self.script, "exec", *map(str, args)], env=self.environ(),
                               stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
            self.last_error = r.stderr.decode(ANSI, errors="replace")
            out = r.stdout.decode(ANSI, errors="replace")
            said = " ".join((out + " " + self.last_error).split())  # the loader says it on either
            if r.returncode == 0 or "ShellExecuteEx" not in said or attempt:
                break
            print("%s did not start (%d): %s; starting it again" % (args[0], r.returncode, said), file=sys.stderr)
        return r.returncode, out

    def start(self, exe, *args):
        """Starts a Windows program in the background; its output goes to files."""
        self.prepare()
        fd_out, out_path = tempfile.mkstemp(prefix="out-", dir=str(self.tmp_dir))
        fd_err, err_path = tempfile.mkstemp(prefix="err-", dir=str(self.tmp_dir))
        try:
            popen = subprocess.Popen([self.script, "run", "wine", str(exe), *map(str, args)], env=self.environ(),
                                     stdin=subprocess.DEVNULL, stdout=fd_out, stderr=fd_err,
                                     start_new_session=True)
        finally:
            os.close(fd_out)
            os.close(fd_err)
        p = Process(popen, out_path, err_path)
        self.processes.append(p)
        return p

    def kill_started(self):
        """Ends every program this object started that still runs."""
        for p in self.processes:
            p.kill()
        self.processes = []

    def pids_of(self, exe_name):
        """The Linux processes of this prefix that run exe_name (Wine's loader of the program,
        not the wine-env.sh wrapper around it)."""
        wanted = exe_name.lower().encode()
        found = []
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit() or int(entry.name) == os.getpid():
                continue
            try:
                cmdline = (entry / "cmdline").read_bytes().lower()
                environ = (entry / "environ").read_bytes()
            except OSError:
                continue
            if wanted not in cmdline or b"wine-env.sh" in cmdline:
                continue
            if ("WINEPREFIX=" + self.prefix).encode() not in environ.split(b"\0"):
                continue
            found.append(int(entry.name))
        return found

    def wait_exited(self, exe_name, timeout=15):
        """True once no process of this prefix runs exe_name. A client of the companion's object
        waits for the server of the call before it: Wine can still hand that ending server's
        single-use class object to the next creation, whose call then fails mid-way."""
        return wait_until(lambda: not self.pids_of(exe_name), timeout, 0.1)

    def kill_leftovers(self, exe_name):
        """Ends every process of this prefix running exe_name (left over by an earlier, aborted
        run). Returns how many were ended."""
        ended = 0
        for pid in self.pids_of(exe_name):
            try:
                os.kill(pid, signal.SIGKILL)
                ended += 1
            except ProcessLookupError:
                pass
        return ended

    @staticmethod
    def resident_kib(pid):
        """VmRSS of a Linux process in KiB, or None when it is gone."""
        try:
            for line in Path("/proc/%d/status" % pid).read_text().splitlines():
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        except OSError:
            return None
        return None

    # Windows ----------------------------------------------------------------------------------

    def wintool(self, *args, timeout=60):
        return self.wine(self.program("tools/wintool.exe"), *args, timeout=timeout)

    def find_window(self, title, cls=None):
        """(hwnd, pid) of the top-level window with this exact title, or None."""
        rc, out = self.wintool("find", title, *([cls] if cls else []))
        if rc != 0 or not out.split():
            return None
        hwnd, pid = out.split()[:2]
        return int(hwnd, 16), int(pid)

    def wait_window(self, title, timeout=20):
        """True as soon as a top-level window with this title exists (hidden ones count)."""
        rc, _ = self.wintool("wait", title, int(timeout * 1000), timeout=timeout + 30)
        return rc == 0

    def wait_window_gone(self, title, timeout=20):
        rc, _ = self.wintool("gone", title, int(timeout * 1000), timeout=timeout + 30)
        return rc == 0

    def post(self, title, msg, wparam=0, lparam=0):
        """PostMessage to the window with this title; False when there is none."""
        rc, _ = self.wintool("post", title, msg, wparam, lparam)
        return rc == 0

    def send(self, title, msg, wparam=0, lparam=0):
        """SendMessage (5 s limit); the result, or None when there is no such window."""
        rc, out = self.wintool("send", title, msg, wparam, lparam)
        return int(out.split()[0]) if rc == 0 and out.split() else None

    def copydata(self, title, tag, text):
        """WM_COPYDATA with text and its NUL; tag is a number or four characters ("FLSH")."""
        rc, out = self.wintool("copydata", title, tag, text)
        return int(out.split()[0]) if rc == 0 and out.split() else None

    def windows(self, pid=None):
        """Top-level windows: dicts with hwnd, pid, visible, cls, title."""
        rc, out = self.wintool("windows", *([pid] if pid else []))
        result = []
        for line in out.splitlines():
            parts = line.rstrip("\r").split(" ", 4)
            if len(parts) < 4:
                continue
            result.append({"hwnd": int(parts[0], 16), "pid": int(parts[1]), "visible": parts[2] == "1",
                           "cls": parts[3], "title": parts[4] if len(parts) > 4 else ""})
        return result

    def screenshot(self, path):
        """Saves the whole virtual screen as a PNG; True on success."""
        rc, _ = self.run("import", "-window", "root", str(path))
        return rc == 0 and Path(path).exists()

    # Registry ---------------------------------------------------------------------------------

    _VALUE = re.compile(r"^    (.*?)    (REG_[A-Z_]+)(?:    (.*))?$")

    def reg_query(self, key):
        """Everything below key (given like HKCU\\Software\\...), or None when key is missing:
        {relative sub-key ("" for key itself): {value name: value}}, numbers as int, strings as
        str. A key without values appears with an empty dict."""
        rc, out = self.wine("reg", "query", key, "/s")
        if rc != 0:
            return None
        tree = {}
        current = None
        full_prefix = None
        for line in out.splitlines():
            line = line.rstrip("\r")
            if not line.strip():
                continue
            if line.startswith("HKEY_"):
                if full_prefix is None:
                    full_prefix = line
                current = line[len(full_prefix):].lstrip("\\") if line.lower().startswith(full_prefix.lower()) else line
                tree.setdefault(current, {})
                continue
            m = self._VALUE.match(line)
            if m and current is not None:
                name, kind, data = m.group(1), m.group(2), m.group(3) or ""
                if kind in ("REG_DWORD", "REG_QWORD"):
                    value = int(data, 16)
                else:
                    value = data
                tree[current][name] = value
        return tree

    def reg_value(self, key, name):
        """One value (int or str), or None when it is missing."""
        tree = self.reg_query(key)
        return tree.get("", {}).get(name) if tree is not None else None

    def reg_add(self, key, name, value):
        """Writes a REG_DWORD for an int, else a REG_SZ."""
        kind = "REG_DWORD" if isinstance(value, int) else "REG_SZ"
        rc, _ = self.reg_once_more("add", key, "/v", name, "/t", kind, "/d", str(value), "/f")
        return rc == 0

    def reg_once_more(self, *args, timeout=60):
        """Runs reg with args; when it fails, once more. Now and then, under load, one Wine process
        fails to start (Wine's loader says ShellExecuteEx failed); a write is the same the second
        time, so it is tried once more, and what was said the first time is shown."""
        rc, out = self.wine("reg", *args, timeout=timeout)
        if rc != 0:
            said = " ".join((out + " " + self.last_error).split())
            print("reg %s failed (%d): %s; trying again" % (" ".join(args[:2]), rc, said), file=sys.stderr)
            rc, out = self.wine("reg", *args, timeout=timeout)
        return rc, out

    def reg_import(self, keys, name="import.reg"):
        """Writes {full key (HKEY_CURRENT_USER\\...): {value name: .reg data, or None to delete the
        value}} with one "reg import", however many keys: one Wine process instead of one per value.
        True on success; on failure last_error holds what reg said."""
        lines = ["Windows Registry Editor Version 5.00", ""]
        for key, values in keys.items():
            lines.append("[%s]" % key)
            lines.extend('"%s"=%s' % (n, "-" if v is None else v) for n, v in values.items())
            lines.append("")
        path = self.tmp_dir / name
        path.write_bytes("\r\n".join(lines).encode("utf-16"))
        rc, out = self.reg_once_more("import", win_path(path), timeout=300)
        if rc != 0:
            self.last_error = " ".join((out + " " + self.last_error).split())  # reg says it on either
        return rc == 0

    def reg_delete(self, key, name=None):
        """Deletes one value, or the whole key with everything below it. True when it existed."""
        args = ["/v", name] if name is not None else []
        rc, _ = self.wine("reg", "delete", key, *args, "/f")
        return rc == 0

    def reg_exists(self, key):
        rc, _ = self.wine("reg", "query", key)
        return rc == 0


def win_path(path):
    """The Windows name of a Linux path, through the prefix's Z: drive."""
    return "Z:" + str(path).replace("/", "\\")


def reg_text(text):
    """.reg data of a REG_SZ value."""
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def reg_dword(number):
    """.reg data of a REG_DWORD value."""
    return "dword:%08x" % number


def wait_until(predicate, timeout, interval=0.1):
    """Polls predicate until it is true (returns True) or timeout seconds pass (returns False)."""
    end = time.monotonic() + timeout
    while True:
        if predicate():
            return True
        if time.monotonic() >= end:
            return False
        time.sleep(interval)


class StandinTicker:
    """For a unittest.TestCase with self.env and self.probe (zellmate_probe.exe): the companion's
    stand-in for the ticker, a window "__@ZELLORA@__" that logs the commands posted to it."""

    def start_standin(self):
        """Starts the stand-in (ended after the test); the path of its command log."""
        log = self.env.tmp_dir / f"commands-{time.monotonic_ns()}.txt"
        log.touch()
        p = self.env.start(self.probe, "standin", win_path(log))
        self.assertTrue(self.env.wait_window("__@ZELLORA@__"), "the stand-in ticker did not appear")
        self.addCleanup(self.stop_standin, p)
        return log

    def stop_standin(self, p):
        if p.alive():
            self.env.post("__@ZELLORA@__", WM_CLOSE)
            p.wait(10)
            p.kill()

    @staticmethod
    def commands(log):
        """The commands the stand-in was sent, in order."""
        return [int(line) for line in log.read_text().split()]
