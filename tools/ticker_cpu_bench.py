#!/usr/bin/env python3
"""CPU cost of the scrolling bar, and the delay from the page to the first headline pixels.

Runs the real Zellora.exe of the Windows build under Wine in a prefix and X server of its own
(build/win64/bench-wine, a 1024 x 768 screen), against tools/http_test_server.py serving a long
Japanese page, with "Howto" 0 (the bar) and "Speed" 0 (a tick every 80 ms):

  1. the delay from the server receiving the page request (it answers at once) to the first
     pixel of the text colour in the bar's rows, read off the screen every 5 ms by wintool;
  2. CPU time of Zellora.exe, wineserver and Xvfb over SECONDS of continuous scrolling;
  3. the same after Start/Stop turned the display off (idle);

and prints each as a share of one core. Usage: tools/ticker_cpu_bench.py [SECONDS] (default 60).
"""

import os
import subprocess
import sys
import time
from pathlib import Path

root = Path(__file__).resolve().parent.parent
os.environ.setdefault("ZELLORA_WINE_HOME", str(root / "build" / "win64" / "bench-wine"))
os.environ.setdefault("ZELLORA_SCREEN", "1024x768x24")
sys.path.insert(0, str(root / "tests" / "e2e"))
from winehelp import WM_COMMAND, WineEnv, wait_until  # noqa: E402

KEY = r"HKCU\Software\HOSHIRAI\Zellora"
TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    fields = Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def find_pid(names, prefix):
    """The process whose command is one of names, running in this Wine prefix."""
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            comm = (entry / "comm").read_text().strip()
            environ = (entry / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if comm in names and ("WINEPREFIX=" + prefix).encode() in environ:
            return int(entry.name)
    return None


def page():
    items = []
    topics = ["東京都で記録的な大雨、各地で交通機関に乱れ", "新しい図書館が駅前に開館、週末は家族連れでにぎわう",
              "プロ野球、地元チームが逆転勝ちで首位に浮上", "来年度の予算案、過去最大の規模に",
              "海外旅行の予約が好調、年末年始は前年の二倍"]
    for i in range(60):
        items.append('<a href="/%d">%s（%d）</a><br>' % (i, topics[i % len(topics)], i + 1))
    return ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">'
            "<title>ベンチ新聞</title></head><body>\n%s\n</body></html>\n" % "\n".join(items)).encode("cp932")


def measure(pids, seconds):
    start = {k: cpu_seconds(p) for k, p in pids.items()}
    t0 = time.monotonic()
    time.sleep(seconds)
    wall = time.monotonic() - t0
    return {k: (cpu_seconds(p) - start[k]) / wall * 100 for k, p in pids.items()}


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 60.0
    env = WineEnv()
    env.prepare()
    env.kill_leftovers("Zellora.exe")
    folder = env.tmp_dir / "bench-server"
    folder.mkdir()
    (folder / "bench.html").write_bytes(page())
    record = folder / "record.txt"
    record.write_bytes(b"")
    server = subprocess.Popen([sys.executable, str(root / "tools" / "http_test_server.py"), "--port-file",
                               str(folder / "port"), "--record", str(record), "--root", str(folder),
                               "--lifetime", str(seconds * 3 + 300)],
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_until((folder / "port").exists, 10)
        port = int((folder / "port").read_text().split()[0])
        env.reg_delete(KEY)
        env.reg_add(KEY, "bSetup", 1)
        env.reg_add(KEY, "bOnline", 1)
        env.reg_add(KEY + r"\Option", "Howto", 0)
        env.reg_add(KEY + r"\Option", "Speed", 0)
        env.reg_add(KEY + r"\Option", "loopCount", 2)
        slot = KEY + r"\URL_List\URL00000000"
        env.reg_add(slot, "Title", "ベンチ新聞")
        env.reg_add(slot, "URL", "http://127.0.0.1:%d/page?file=bench.html" % port)
        env.reg_add(slot, "Filter", 10)
        env.run("xdotool", "mousemove", "500", "300")
        width, height = (int(v) for v in os.environ["ZELLORA_SCREEN"].split("x")[:2])

        # The watcher is up before the ticker starts, so it sees the very first frame.
        watcher = env.start(env.program("tools/wintool.exe"), "waitpixel", 255, 232, 64, height - 20, height, 60000)
        time.sleep(1.5)
        ticker = env.start(env.program("ticker/Zellora.exe"))
        if not wait_until(lambda: record.stat().st_size > 0, 30, 0.001):
            raise SystemExit("the page was never requested")
        requested = time.monotonic()
        if not wait_until(lambda: "found" in watcher.output(), 30, 0.002):
            raise SystemExit("no text pixels in the bar")
        first_pixels = (time.monotonic() - requested) * 1000

        pids = {"Zellora.exe": find_pid(("Zellora.exe",), env.prefix),
                "wineserver": find_pid(("wineserver", "wineserver64"), env.prefix),
                "Xvfb": int((env.wine_home / "xvfb.pid").read_text())}
        if None in pids.values():
            raise SystemExit("process not found: %s" % pids)
        time.sleep(3)
        busy = measure(pids, seconds)
        # Start/Stop: the display off, the process otherwise the same.
        env.post("__@ZELLORA@__", WM_COMMAND, 32773, 0)
        wait_until(lambda: env.reg_value(KEY, "bOnline") == 0, 10)
        time.sleep(3)
        idle = measure(pids, seconds)
        requests = record.read_bytes().count(b"GET ")

        print("screen %dx%d, Speed 0 (80 ms ticks), %.0f s each" % (width, height, seconds))
        print("page request to first text pixels in the bar: %.0f ms (fetch, extraction, first tick)" % first_pixels)
        print("%-12s %10s %10s %12s" % ("process", "scrolling", "idle", "difference"))
        for name in pids:
            print("%-12s %9.2f%% %9.2f%% %11.2f%%" % (name, busy[name], idle[name], busy[name] - idle[name]))
        print("page requests during the run: %d" % requests)
        env.post("__@ZELLORA@__", WM_COMMAND, 1, 0)
        ticker.wait(20)
    finally:
        server.kill()
        env.kill_started()


if __name__ == "__main__":
    main()
