#!/usr/bin/env python3
"""Helpers of tools/tidy.sh.

  tidy_db.py windows ROOT WIN64_DB COPY_ROOT OUT_DB
      Writes a compile database for clang-tidy from the MinGW build's: every project source is
      compiled from its copy under COPY_ROOT (literals rewritten to code page 932 by
      cmake/cp932_literals.py), by clang aimed at x86_64-w64-windows-gnu with the MinGW-w64
      C++ and Windows headers in g++'s order, and without the flags clang does not know.
  tidy_db.py summary ROOT LOG...
      Prints each diagnostic of the clang-tidy logs once (a header's appear in every file that
      includes it), with the copies' paths and lines turned back into the sources',
      then the count per check. Exits 1 when there is any.
"""

import json
import os
import re
import shlex
import subprocess
import sys
from collections import Counter

# g++ options clang rejects: clang's execution character set is UTF-8 only (the copies spell the
# code page 932 bytes out instead).
GCC_ONLY_PREFIXES = ("-fexec-charset=",)


def mingw_include_dirs(compiler):
    """g++'s own include search list: the C++ headers, gcc's headers, the MinGW-w64 sysroot."""
    out = subprocess.run([compiler, "-v", "-E", "-x", "c++", os.devnull], capture_output=True,
                         text=True, check=True).stderr
    dirs = []
    inside = False
    for line in out.splitlines():
        if line.startswith("#include <...> search starts here"):
            inside = True
        elif line.startswith("End of search list"):
            inside = False
        elif inside:
            dirs.append(os.path.normpath(line.strip()))
    return dirs


def include_flags(dirs):
    # The C++ headers come first; gcc's own compiler headers (intrinsics, stddef.h) are left to
    # clang's; the sysroot (windows.h, the C library) comes after clang's, as it does for g++.
    flags = ["-nostdinc++", "-nostdlibinc"]
    for d in dirs:
        if "/include/c++" in d:
            flags += ["-isystem", d]
    for d in dirs:
        if "/include/c++" not in d and "/lib/gcc/" not in d:
            flags += ["-idirafter", d]
    return flags


def windows_db(root, win64_db, copy_root, out_db):
    with open(win64_db, encoding="utf-8") as f:
        entries = json.load(f)
    root = os.path.normpath(root)
    copy_root = os.path.normpath(copy_root)
    compiler = None
    out = []
    for e in entries:
        src = os.path.normpath(e["file"])
        if not src.startswith(root + os.sep) or not src.endswith(".cpp"):
            continue
        rel = os.path.relpath(src, root)
        copy = os.path.join(copy_root, rel)
        if not os.path.exists(copy):
            continue
        args = e["arguments"] if "arguments" in e else shlex.split(e["command"])
        compiler = compiler or args[0]
        new = ["clang++", "--target=x86_64-w64-windows-gnu"]
        for a in args[1:]:
            if a.startswith(GCC_ONLY_PREFIXES):
                continue
            if a == "-I" + root:
                a = "-I" + copy_root
            elif a == src:
                a = copy
            new.append(a)
        out.append({"directory": e["directory"], "arguments": new, "file": copy})
    if compiler is None:
        print("tidy_db: no project source in %s" % win64_db, file=sys.stderr)
        return 1
    flags = include_flags(mingw_include_dirs(compiler))
    for e in out:
        e["arguments"][2:2] = flags
    os.makedirs(os.path.dirname(os.path.abspath(out_db)), exist_ok=True)
    with open(out_db, "w", encoding="utf-8") as f:
        json.dump(out, f, indent=1)
    return 0


DIAG = re.compile(r"^([^:\s]+):(\d+):(\d+): (warning|error): (.*?)(?: \[([^\]]+)\])?$")
# A copy's path and line: the copies open with a "#line 1" naming the source, which clang-tidy's
# locations do not follow, so a copy's line N is the source's line N - 1.
COPY = re.compile(r"/build/(?:fuzz|win64/tidy)/cp932-src/([^:\s]+):(\d+)")


def source_location(line):
    return COPY.sub(lambda m: "/%s:%d" % (m.group(1), max(1, int(m.group(2)) - 1)), line)


def summary(root, logs):
    seen = set()
    counts = Counter()
    blocks = []
    for log in logs:
        with open(log, encoding="utf-8", errors="replace") as f:
            lines = f.read().splitlines()
        block = None
        for line in lines:
            line = source_location(line)
            if line.startswith(root + "/"):
                line = line[len(root) + 1:]
            m = DIAG.match(line)
            if line.startswith("Error while processing"):
                counts["(file not analysed)"] += 1
                blocks.append([line])
                block = None
                continue
            if m:
                key = line
                if key in seen:
                    block = None
                    continue
                seen.add(key)
                counts[m.group(6) or m.group(4)] += 1
                block = [line]
                blocks.append(block)
            elif block is not None and not re.match(r"^\d+ (warnings?|errors?) generated", line):
                block.append(line)
    for b in blocks:
        print("\n".join(b))
    for check, n in sorted(counts.items(), key=lambda kv: (-kv[1], kv[0])):
        print("== %5d %s" % (n, check))
    print("== %d diagnostics" % sum(counts.values()))
    return 1 if counts else 0


def main(argv):
    if len(argv) == 5 and argv[0] == "windows":
        return windows_db(*argv[1:])
    if len(argv) >= 2 and argv[0] == "summary":
        return summary(os.path.normpath(argv[1]), argv[2:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
