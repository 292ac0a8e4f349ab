#!/usr/bin/env python3
"""Packs the browser extension from its one source, for the build and the installer.

  pack.py OUTDIR

writes into OUTDIR:
  zellora-extension/              the unpacked extension for Edge and Chrome ("Load unpacked")
  zellora-extension.zip           the same, packed
  zellora-extension-firefox.zip   the Firefox form

The source manifest serves both kinds of browser; each form leaves out what only the other one
reads: Chromium browsers get the service worker and the key that fixes the extension's id,
Firefox the background script and its extension id. Only the files the extension runs on go in
(no tests, no drawing scripts); the archives carry fixed times, so the same source packs to the
same bytes.
"""

import copy
import json
import os
import shutil
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
FILES = ["background.js"] + ["icons/zellora-%d.png" % s for s in (16, 32, 48, 128)]
STAMP = (2000, 1, 1, 0, 0, 0)


def chromium_manifest(source):
    m = copy.deepcopy(source)
    m.pop("browser_specific_settings", None)
    m["background"] = {"service_worker": source["background"]["service_worker"]}
    return m


def firefox_manifest(source):
    m = copy.deepcopy(source)
    m.pop("key", None)
    m["background"] = {"scripts": source["background"]["scripts"]}
    return m


def manifest_bytes(m):
    return (json.dumps(m, ensure_ascii=False, indent=2) + "\n").encode("utf-8")


def write_zip(path, manifest):
    tmp = path + ".tmp"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as z:
        entries = [("manifest.json", manifest_bytes(manifest))]
        for name in FILES:
            with open(os.path.join(HERE, name), "rb") as f:
                entries.append((name, f.read()))
        for name, data in entries:
            info = zipfile.ZipInfo(name, STAMP)
            info.external_attr = 0o644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data)
    os.replace(tmp, path)


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(HERE, "manifest.json"), encoding="utf-8") as f:
        source = json.load(f)
    chromium = chromium_manifest(source)

    folder = os.path.join(out, "zellora-extension")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(os.path.join(folder, "icons"))
    with open(os.path.join(folder, "manifest.json"), "wb") as f:
        f.write(manifest_bytes(chromium))
    for name in FILES:
        shutil.copyfile(os.path.join(HERE, name), os.path.join(folder, name))
    write_zip(os.path.join(out, "zellora-extension.zip"), chromium)
    write_zip(os.path.join(out, "zellora-extension-firefox.zip"), firefox_manifest(source))
    return 0


if __name__ == "__main__":
    sys.exit(main())
