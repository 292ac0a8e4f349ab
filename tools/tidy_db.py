#!/usr/bin/env python3
"""Helpers of tools/tidy.sh.

  tidy_db.py windows ROOT WIN64_DB COPY_ROOT OUT_DB
      Writes a compile database for clang-tidy from the MinGW build's: every project source is
      compiled from its copy under COPY_ROOT (literals rewritten to code page 932 by
      cmake/cp932_literals.py), by clang aimed at x86_64-w64-windows-gnu with the MinGW-w64
      C++ and Windows headers in g++'s order, and without the flags clang does not know.
  tidy_db.py run ROOT JOBS LOG_DIR DB FILE [DB FILE]...
      Runs clang-tidy over each FILE with the compile database DB, JOBS at a time, one log per file
      in LOG_DIR; a result found before for the same inputs is taken from the cache instead (below).
  tidy_db.py summary ROOT LOG...
      Prints each diagnostic of the clang-tidy logs once (a header's appear in every file that
      includes it), with the copies' paths and lines turned back into the sources',
      then the count per check. Exits 1 when there is any.
"""

import hashlib
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time
from collections import Counter
from concurrent.futures import ThreadPoolExecutor

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


# The result cache. clang-tidy's output for a file is a function of what it reads: the file's copy,
# every header the preprocessor opens for it (system headers too, found by clang-scan-deps from the
# same compile command), the compile command, each .clang-tidy above the file, and clang-tidy itself.
# A hash of all of them names the stored output, so a file is analysed again exactly when one of
# them changed, and a stored warning is reported again (the run fails as an uncached one would).
# The work tree's path is replaced by a placeholder in the key and the stored output, so that fresh
# clones elsewhere on the machine (CI) share the results. Only clean runs of clang-tidy are stored
# (exit status 0, warnings or not); a file it could not analyse is analysed again every time.
CACHE_SCHEMA = "zellora-tidy-cache 1"
TIDY_ARGS = ["--quiet"]
ROOT_MARK = "@ZELLORA_ROOT@"
# Entries not used for this long are deleted (each run touches those it uses).
CACHE_MAX_AGE_DAYS = 30


def cache_dir():
    d = os.environ.get("ZELLORA_TIDY_CACHE")
    if d:
        return d
    base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(base, "zellora", "tidy")


def file_digest(path, memo, root=None):
    """The sha256 of a file's bytes, or None when it cannot be read (memoised for the run). With
    root, the work tree's path in the bytes counts as the placeholder: the rewritten copies name
    their source by its absolute path (#line), which differs from clone to clone."""
    if path not in memo:
        try:
            with open(path, "rb") as f:
                data = f.read()
            if root:
                data = data.replace(root.encode(), ROOT_MARK.encode())
            memo[path] = hashlib.sha256(data).hexdigest()
        except OSError:
            memo[path] = None
    return memo[path]


def tool_paths():
    """clang-tidy, and the clang-scan-deps and clang++ of the same installation (same version, same
    built-in headers)."""
    tidy = shutil.which("clang-tidy")
    if tidy is None:
        raise SystemExit("tidy_db: no clang-tidy on PATH")
    real = os.path.realpath(tidy)
    bindir = os.path.dirname(real)
    version = subprocess.run([tidy, "--version"], capture_output=True, text=True, check=True).stdout
    major = re.search(r"version (\d+)", version)
    suffix = "-" + major.group(1) if major else ""

    def sibling(name):
        for cand in (os.path.join(bindir, name), shutil.which(name + suffix), shutil.which(name)):
            if cand and os.access(cand, os.X_OK):
                return cand
        raise SystemExit("tidy_db: no %s beside %s" % (name, real))

    return tidy, real, version, sibling("clang-scan-deps"), sibling("clang++")


def entry_args(e):
    return list(e["arguments"]) if "arguments" in e else shlex.split(e["command"])


def parse_make_deps(text):
    """{first prerequisite (the source): [every prerequisite]} from make-style dependency rules."""
    rules = {}
    for line in text.replace("\\\n", " ").splitlines():
        _, sep, prereq = line.partition(": ")
        names = [n.replace("\\ ", " ") for n in re.findall(r"(?:\\ |\S)+", prereq)]
        if sep and names:
            rules[names[0]] = names
    return rules


def scan_deps(scan_deps_exe, compiler, entries, jobs):
    """Every file the preprocessor opens for each entry, by clang-scan-deps over a database of just
    these entries (the compiler replaced by clang-tidy's own clang++, so that the built-in headers
    found are the ones clang-tidy sees). Entries it cannot scan are missing from the answer."""
    db = [{"directory": e["directory"], "arguments": [compiler] + entry_args(e)[1:], "file": e["file"]}
          for e in entries]
    with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
        json.dump(db, f)
        db_path = f.name
    try:
        res = subprocess.run([scan_deps_exe, "-compilation-database", db_path, "-j", str(jobs)],
                             capture_output=True, text=True, check=False)
    finally:
        os.unlink(db_path)
    directories = {os.path.normpath(e["file"]): e["directory"] for e in entries}
    deps = {}
    for main, names in parse_make_deps(res.stdout).items():
        main = os.path.normpath(main)
        if main in directories:  # the sources are named absolutely; headers may be relative
            deps[main] = sorted({os.path.normpath(os.path.join(directories[main], n)) for n in names})
    return deps


def config_files(path, memo):
    """The .clang-tidy files clang-tidy may read for a file: one in each folder above it."""
    found = []
    d = os.path.dirname(path)
    while True:
        cfg = os.path.join(d, ".clang-tidy")
        if cfg not in memo:
            memo[cfg] = os.path.isfile(cfg)
        if memo[cfg]:
            found.append(cfg)
        parent = os.path.dirname(d)
        if parent == d:
            return found
        d = parent


def cache_key(root, tool_id, entries, deps, digests, config_memo):
    def norm(text):
        return text.replace(root, ROOT_MARK)

    h = hashlib.sha256()
    h.update((CACHE_SCHEMA + "\n" + tool_id + "\n" + " ".join(TIDY_ARGS) + "\n").encode())
    for e in sorted(entries, key=lambda e: json.dumps(entry_args(e))):
        h.update(norm(json.dumps({"directory": e["directory"], "arguments": entry_args(e)})).encode())
        h.update(b"\n")
    for path in sorted(set(deps) | set(config_files(entries[0]["file"], config_memo))):
        digest = file_digest(path, digests, root)
        if digest is None:
            return None
        h.update(("%s %s\n" % (norm(path), digest)).encode())
    return h.hexdigest()


def log_name(path):
    return path.replace("/", "_") + ".log"


def run(root, jobs, log_dir, pairs):
    """clang-tidy over each (database, file) pair, through the cache; prints what it did."""
    start = time.monotonic()
    root = os.path.normpath(root)
    jobs = max(1, int(jobs))
    tidy, tidy_real, version, scan_deps_exe, compiler = tool_paths()
    digests = {}
    tool_id = "%s\n%s" % (version.strip(), file_digest(tidy_real, digests))
    by_db = {}
    for db, path in pairs:
        by_db.setdefault(os.path.abspath(db), []).append(os.path.normpath(path))
    work = []  # (database folder, file, its entries, its key or None)
    config_memo = {}
    for db, paths in by_db.items():
        with open(os.path.join(db, "compile_commands.json"), encoding="utf-8") as f:
            wanted = set(paths)
            entries = [e for e in json.load(f) if os.path.normpath(e["file"]) in wanted]
        deps = scan_deps(scan_deps_exe, compiler, entries, jobs)
        for path in paths:
            mine = [e for e in entries if os.path.normpath(e["file"]) == path]
            key = None
            if mine and path in deps:
                key = cache_key(root, tool_id, mine, deps[path], digests, config_memo)
            work.append((db, path, key))
    scanned = time.monotonic()

    store = cache_dir()
    try:
        os.makedirs(store, exist_ok=True)
    except OSError as err:
        print("== clang-tidy cache %s unusable (%s): every file is analysed" % (store, err))
        store = None

    def entry_path(key):
        return os.path.join(store, key[:2], key + ".log")

    hits = []
    misses = []
    for db, path, key in work:
        cached = entry_path(key) if store and key else None
        if cached and os.path.isfile(cached):
            with open(cached, "rb") as f:
                text = f.read().replace(ROOT_MARK.encode(), root.encode())
            with open(os.path.join(log_dir, log_name(path)), "wb") as f:
                f.write(text)
            os.utime(cached)
            hits.append(path)
        else:
            misses.append((db, path, key))

    def analyse(item):
        db, path, key = item
        res = subprocess.run(["nice", tidy, "-p", db] + TIDY_ARGS + [path], capture_output=True,
                             check=False)
        out = res.stdout + res.stderr
        with open(os.path.join(log_dir, log_name(path)), "wb") as f:
            f.write(out)
        if store and key and res.returncode == 0:
            os.makedirs(os.path.dirname(entry_path(key)), exist_ok=True)
            fd, tmp = tempfile.mkstemp(dir=os.path.dirname(entry_path(key)), prefix=".tmp-")
            with os.fdopen(fd, "wb") as f:
                f.write(out.replace(root.encode(), ROOT_MARK.encode()))
            os.replace(tmp, entry_path(key))
        return res.returncode

    with ThreadPoolExecutor(max_workers=jobs) as pool:
        list(pool.map(analyse, misses))
    if store:
        prune(store)
    uncacheable = sum(1 for _, _, key in misses if key is None)
    if hits and misses:
        # Which files changed, as far as clang-tidy is concerned.
        for _, path, _ in misses:
            print("== analysed: %s" % re.sub(r"^.*/build/(?:fuzz|win64/tidy)/cp932-src/", "", path))
    print("== clang-tidy over %d files, %d at a time: %d from the cache, %d analysed%s"
          " (dependency scan %.0f s, analysis %.0f s; cache %s)"
          % (len(work), jobs, len(hits), len(misses),
             " (%d without a dependency scan, never cached)" % uncacheable if uncacheable else "",
             scanned - start, time.monotonic() - scanned, store or "off"))
    return 0


def prune(store):
    now = time.time()
    for d, _, names in os.walk(store):
        for n in names:
            p = os.path.join(d, n)
            # What an interrupted run left half written goes after a day.
            age = 1 if n.startswith(".tmp-") else CACHE_MAX_AGE_DAYS
            try:
                if os.path.getmtime(p) < now - age * 86400:
                    os.unlink(p)
            except OSError:
                pass


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
    if len(argv) >= 4 and argv[0] == "run" and len(argv) % 2 == 0:
        pairs = list(zip(argv[4::2], argv[5::2]))
        return run(argv[1], argv[2], argv[3], pairs)
    if len(argv) >= 2 and argv[0] == "summary":
        return summary(os.path.normpath(argv[1]), argv[2:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
