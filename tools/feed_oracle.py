#!/usr/bin/python3
"""Holds zellora-extract's reading of real feeds against an independent feed parser.

For every feed file given (or every file under the given folders), runs
`zellora-extract --links --utf8 FILE` and Debian's python3-feedparser on the same bytes, and compares
the feed title, the item titles and the item links. The parser's texts are first put through what
the ticker can hold: code page 932 (a character outside it becomes "?"), runs of XML white space
(space, tab, line breaks; not the ideographic space) as one space, no markup (feedparser keeps the
markup of HTML titles; the ticker drops it), and the ticker's own item rule: the marks "・", "　",
"●", "■", "▲", "▼" and spaces stripped from an item's front, "　" and spaces from its end.

Links: a file has no address, so zellora-extract keeps only absolute links; a link the parser
resolved against the file's own path counts as no link.

Prints one line per file (AGREE or DIFFER with the first differences) and a summary; exit status
0 when every file agrees, 1 otherwise. Files whose first element is no feed are skipped (they are
pages).

    /usr/bin/python3 tools/feed_oracle.py build/native/tools/zellora-extract ../shared/corpus/feeds \\
        ../shared/corpus/chardet
"""

import html
import os
import re
import subprocess
import sys

import feedparser


def cp932(text):
    """The text as the ticker can hold it, read back as Unicode."""
    out = []
    for ch in text:
        try:
            out.append(ch.encode("cp932").decode("cp932"))
        except UnicodeError:
            out.append("?" * (2 if ord(ch) > 0xFFFF else 1))
    return "".join(out)


TAG = re.compile(r"<[A-Za-z/!?][^>]*>")


SPACE = re.compile(r"[ \t\r\n]+")
LEAD = re.compile(r"^[ ・　●■▲▼]+")
TRAIL = re.compile(r"[ 　]+$")


def normal(text, markup, item=False):
    if markup:
        text = TAG.sub("", text)
    text = SPACE.sub(" ", cp932(text)).strip(" ")
    if item:
        text = TRAIL.sub("", LEAD.sub("", text))
    return text


def oracle(path):
    with open(path, "rb") as f:
        data = f.read()
    parsed = feedparser.parse(data, sanitize_html=False, resolve_relative_uris=False)
    if parsed.version == "":
        return None
    title = parsed.feed.get("title", "")
    title_type = parsed.feed.get("title_detail", {}).get("type", "text/plain")
    items = []
    for entry in parsed.entries[:200]:
        detail = entry.get("title_detail", {})
        markup = detail.get("type", "text/plain") in ("text/html", "application/xhtml+xml")
        text = normal(entry.get("title", ""), markup, item=True)
        if not text:
            continue
        link = entry.get("link", "")
        if not re.match(r"(?i)https?://[^/]", link or ""):
            link = ""
        items.append((text, link))
    is_html = title_type in ("text/html", "application/xhtml+xml")
    return normal(title, is_html), items


def ours(extract, path):
    result = subprocess.run([extract, "--links", "--utf8", path], stdout=subprocess.PIPE, check=False)
    lines = result.stdout.decode("utf-8", "replace").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    title = lines[0] if lines else ""
    items = []
    for line in lines[1:]:
        text, _, link = line.partition("\t")
        items.append((text, link))
    return title, items


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    extract = sys.argv[1]
    files = []
    for target in sys.argv[2:]:
        if os.path.isdir(target):
            for root, _, names in os.walk(target):
                files += [os.path.join(root, n) for n in names if not n.startswith(("LICENSE", "README"))]
        else:
            files.append(target)
    agree = differ = skipped = 0
    for path in sorted(files):
        expected = oracle(path)
        if expected is None:
            skipped += 1
            print("PAGE   %s" % path)
            continue
        got = ours(extract, path)
        if got == expected:
            agree += 1
            print("AGREE  %s (%d items)" % (path, len(got[1])))
            continue
        differ += 1
        print("DIFFER %s" % path)
        if got[0] != expected[0]:
            print("    title: ours %r, parser %r" % (got[0], expected[0]))
        if len(got[1]) != len(expected[1]):
            print("    items: ours %d, parser %d" % (len(got[1]), len(expected[1])))
        shown = 0
        for k, (a, b) in enumerate(zip(got[1], expected[1])):
            if a != b and shown < 3:
                shown += 1
                print("    item %d: ours %r\n            parser %r" % (k, a, b))
    print("%d agree, %d differ, %d pages skipped" % (agree, differ, skipped))
    return 0 if differ == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
