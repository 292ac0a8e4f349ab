#!/usr/bin/env python3
"""Registers Zellmate.exe of a developer's build as the browsers' native messaging host
"jp.hoshirai.zellmate", for the current user only (the installer registers the installed program
for every user of the machine).

  register_native_host.py windows [--exe PATH] [--wine] [--unregister]
      Writes the two host manifests beside Zellmate.exe (zellmate-chromium.json with the
      extension's origin, zellmate-firefox.json with its id) and names them under
      HKEY_CURRENT_USER\\Software\\{Google\\Chrome, Microsoft\\Edge, Mozilla}\\NativeMessagingHosts.
      On Windows through the registry directly; on Linux with --wine, in the Wine prefix of
      WINEPREFIX (or of the build tree's cmake/wine-env.sh when ZELLORA_WINE_HOME is set).
      --exe defaults to build/win64/companion/Zellmate.exe.

  register_native_host.py chromium-linux [--exe PATH] [--profile DIR] [--wine-home DIR] [--unregister]
      For Chromium on Linux (the browser test): a wrapper that runs Zellmate.exe under Wine in the
      build tree's prefix (cmake/wine-env.sh), and the host manifest naming it, in
      DIR/NativeMessagingHosts (DIR: the browser's --user-data-dir; default ~/.config/chromium).

--unregister removes what the same command would write.
"""

import argparse
import json
import os
import stat
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
HOST_NAME = "jp.hoshirai.zellmate"
DESCRIPTION = "Zellmate: hands pages from the browser to Zellora"
CHROMIUM_ORIGIN = "chrome-extension://njfelcioljopedogmojajlpfodpnbaim/"
FIREFOX_ID = "zellmate@hoshirai.jp"
CHROMIUM_MANIFEST = "zellmate-chromium.json"
FIREFOX_MANIFEST = "zellmate-firefox.json"
# The browsers' keys for a host, and which manifest each reads.
KEYS = [
    (r"Software\Google\Chrome\NativeMessagingHosts" + "\\" + HOST_NAME, CHROMIUM_MANIFEST),
    (r"Software\Microsoft\Edge\NativeMessagingHosts" + "\\" + HOST_NAME, CHROMIUM_MANIFEST),
    (r"Software\Mozilla\NativeMessagingHosts" + "\\" + HOST_NAME, FIREFOX_MANIFEST),
]


def manifest(path, firefox):
    m = {"name": HOST_NAME, "description": DESCRIPTION, "path": path, "type": "stdio"}
    if firefox:
        m["allowed_extensions"] = [FIREFOX_ID]
    else:
        m["allowed_origins"] = [CHROMIUM_ORIGIN]
    return json.dumps(m, indent=2) + "\n"


class WineRegistry:
    """HKCU of a Wine prefix through its own "reg" program."""

    def __init__(self):
        home = os.environ.get("ZELLORA_WINE_HOME")
        self.prefix = [str(ROOT / "cmake" / "wine-env.sh"), "run", "wine"] if home else ["wine"]

    def windows_path(self, path):
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")

    def set_default(self, key, value):
        subprocess.run(self.prefix + ["reg", "add", "HKCU\\" + key, "/ve", "/d", value, "/f"], check=True,
                       stdout=subprocess.DEVNULL)

    def delete(self, key):
        subprocess.run(self.prefix + ["reg", "delete", "HKCU\\" + key, "/f"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)


class WindowsRegistry:
    def windows_path(self, path):
        return str(Path(path).resolve())

    def set_default(self, key, value):
        import winreg  # only on Windows
        with winreg.CreateKeyEx(winreg.HKEY_CURRENT_USER, key, 0, winreg.KEY_SET_VALUE) as k:
            winreg.SetValueEx(k, "", 0, winreg.REG_SZ, value)

    def delete(self, key):
        import winreg
        try:
            winreg.DeleteKey(winreg.HKEY_CURRENT_USER, key)
        except FileNotFoundError:
            pass


def windows(args):
    exe = Path(args.exe).resolve()
    registry = WineRegistry() if args.wine else WindowsRegistry()
    folder = exe.parent
    if args.unregister:
        for key, _ in KEYS:
            registry.delete(key)
        for name in (CHROMIUM_MANIFEST, FIREFOX_MANIFEST):
            (folder / name).unlink(missing_ok=True)
        return 0
    if not exe.is_file():
        print(f"register_native_host: {exe} does not exist (build it first)", file=sys.stderr)
        return 1
    target = registry.windows_path(exe)
    (folder / CHROMIUM_MANIFEST).write_text(manifest(target, firefox=False), encoding="utf-8")
    (folder / FIREFOX_MANIFEST).write_text(manifest(target, firefox=True), encoding="utf-8")
    for key, name in KEYS:
        registry.set_default(key, registry.windows_path(folder / name))
    print(f"registered {target} for Chrome, Edge and Firefox (current user)")
    return 0


def chromium_linux(args):
    exe = Path(args.exe).resolve()
    hosts = Path(args.profile).expanduser() / "NativeMessagingHosts"
    wine_home = Path(args.wine_home).resolve()
    wrapper = wine_home / "zellmate-host.sh"
    target = hosts / (HOST_NAME + ".json")
    if args.unregister:
        target.unlink(missing_ok=True)
        wrapper.unlink(missing_ok=True)
        return 0
    wine_home.mkdir(parents=True, exist_ok=True)
    # The browser starts the wrapper with the extension's origin and talks to it over its standard
    # input and output, which pass straight through to Zellmate (wine-env.sh run execs wine).
    wrapper.write_text("#!/bin/sh\n"
                       f"ZELLORA_WINE_HOME='{wine_home}' exec '{ROOT / 'cmake' / 'wine-env.sh'}' run wine '{exe}' \"$@\"\n")
    wrapper.chmod(wrapper.stat().st_mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)
    hosts.mkdir(parents=True, exist_ok=True)
    target.write_text(manifest(str(wrapper), firefox=False), encoding="utf-8")
    print(f"registered {wrapper} for Chromium in {hosts}")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    default_exe = str(ROOT / "build" / "win64" / "companion" / "Zellmate.exe")
    w = sub.add_parser("windows")
    w.add_argument("--exe", default=default_exe)
    w.add_argument("--wine", action="store_true")
    w.add_argument("--unregister", action="store_true")
    c = sub.add_parser("chromium-linux")
    c.add_argument("--exe", default=default_exe)
    c.add_argument("--profile", default="~/.config/chromium")
    c.add_argument("--wine-home", default=os.environ.get("ZELLORA_WINE_HOME") or str(ROOT / "build" / "win64" / "wine"))
    c.add_argument("--unregister", action="store_true")
    args = parser.parse_args()
    return windows(args) if args.command == "windows" else chromium_linux(args)


if __name__ == "__main__":
    sys.exit(main())
