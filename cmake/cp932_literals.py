#!/usr/bin/env python3
"""Rewrites C++ sources so that their narrow literals hold code page 932 bytes under any compiler.

g++ compiles the UTF-8 sources with -fexec-charset=CP932; clang has no such option and would keep
the literals UTF-8. For clang, every non-ASCII character inside a narrow string or character literal
is replaced by octal escapes of its CP932 bytes ("続" -> "\\221\\261"). Octal, because a hex escape
would swallow the hex digits that follow it; always three digits, so that a following digit is not
swallowed either. Comments, u8/u/U/L literals and everything outside literals stay as they are. A
narrow raw string with non-ASCII text becomes an ordinary literal (one piece per source line, so
line numbers do not move). The output starts with a #line directive naming the original file, so
diagnostics, __FILE__ and debug information point at the real source. With --line-base, that name is
relative to the given folder (the one the compiler runs in), so that the copies of two clones are the
same bytes and a compiler cache keyed by their text serves both. The bytes are the ones g++'s
CP932 conversion gives (cp932_bytes), which for a few hundred characters are not Python's codec's.

  cp932_literals.py [--line-base DIR] SOURCE OUTPUT
      one file
  cp932_literals.py [--line-base DIR] --tree SRCROOT OUTROOT LIST
      each file named in LIST (one path relative to SRCROOT a line) into OUTROOT; files under
      OUTROOT that LIST no longer names are removed, so that a deleted header cannot still be
      found there

An output is written only when its text changes, so its users are not rebuilt for nothing.
"""

import os
import sys

ENCODING_PREFIXES = {"u8", "u", "U", "L"}
RAW_PREFIXES = {"R": True, "u8R": False, "uR": False, "UR": False, "LR": False}  # -> narrow?


class RewriteError(Exception):
    pass


def _ibm_extensions():
    # The NEC-selected IBM extensions (lead bytes 0xED-0xEE) are all also IBM extensions (0xFA-0xFC).
    # Windows, and so g++'s CP932 conversion, writes the IBM form; Python's codec the NEC-selected one.
    table = {}
    for lead in (0xFA, 0xFB, 0xFC):
        for trail in range(0x40, 0xFD):
            try:
                table[bytes((lead, trail)).decode("cp932")] = bytes((lead, trail))
            except UnicodeDecodeError:
                pass
    return table


_IBM = _ibm_extensions()
# Best-fit forms that g++'s conversion accepts and Python's codec refuses.
_BEST_FIT = {"\u00a5": b"\x5c", "\u203e": b"\x7e", "\u2014": b"\x81\x5c"}
# Python's codec passes these through; g++ refuses them, and so does this script.
_REFUSED = {"\u0080", "\uf8f0", "\uf8f1", "\uf8f2", "\uf8f3"}


def cp932_bytes(ch):
    """The bytes g++ -fexec-charset=CP932 gives ch, or None when it has none."""
    if ch in _BEST_FIT:
        return _BEST_FIT[ch]
    if ch in _REFUSED:
        return None
    try:
        data = ch.encode("cp932")
    except UnicodeEncodeError:
        return None
    if data[0] in (0xED, 0xEE):
        data = _IBM[ch]
    return data


def _escape(ch, line):
    data = cp932_bytes(ch)
    if data is None:
        raise RewriteError("line %d: U+%04X has no code page 932 form" % (line, ord(ch)))
    return "".join("\\%03o" % b for b in data)


def _is_ident(ch):
    return ch.isalnum() or ch == "_" or ord(ch) > 0x7F


def rewrite(text):
    """Returns text with the narrow literals' non-ASCII characters as CP932 octal escapes."""
    out = []
    i = 0
    n = len(text)
    line = 1

    def emit(s):
        nonlocal line
        out.append(s)
        line += s.count("\n")

    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = i
            # A comment runs to the end of the line; a backslash before the newline continues it.
            while True:
                j = text.find("\n", j)
                if j < 0:
                    j = n
                    break
                k = j - 1
                if k >= 0 and text[k] == "\r":
                    k -= 1
                if k >= i and text[k] == "\\":
                    j += 1
                    continue
                break
            emit(text[i:j])
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            emit(text[i:j])
            i = j
        elif c.isdigit() or (c == "." and i + 1 < n and text[i + 1].isdigit()):
            # A preprocessing number, digit separators (1'000) and exponent signs included.
            j = i + 1
            while j < n:
                d = text[j]
                if d in "+-" and text[j - 1] in "eEpP":
                    j += 1
                elif d == "'" and j + 1 < n and _is_ident(text[j + 1]):
                    j += 2
                elif _is_ident(d) or d == ".":
                    j += 1
                else:
                    break
            emit(text[i:j])
            i = j
        elif _is_ident(c):
            j = i + 1
            while j < n and _is_ident(text[j]):
                j += 1
            word = text[i:j]
            if j < n and text[j] == '"' and word in RAW_PREFIXES:
                end = _raw_end(text, j)
                if end < 0:  # not a raw string after all (a broken line): leave it
                    emit(word)
                    i = j
                    continue
                body_start = text.index("(", j) + 1
                delim = text[j + 1 : body_start - 1]
                body = text[body_start : end - len(delim) - 2]
                if RAW_PREFIXES[word] and any(ord(ch) > 0x7F for ch in body):
                    emit(_raw_as_ordinary(body, line))
                else:
                    emit(text[i:end])
                i = end
            elif j < n and text[j] in "\"'" and word in ENCODING_PREFIXES:
                end = _literal_end(text, j)
                emit(text[i:end])
                i = end
            else:
                emit(word)
                i = j
        elif c in "\"'":
            end = _literal_end(text, i)
            if end == i + 1:  # unterminated on its line (an apostrophe in #error text): not a literal
                emit(c)
                i += 1
                continue
            emit("".join(_escape(ch, line) if ord(ch) > 0x7F else ch for ch in text[i:end]))
            i = end
        else:
            emit(c)
            i += 1
    return "".join(out)


def _literal_end(text, start):
    """Index just past the quoted literal opening at start, or start + 1 when it ends unclosed."""
    quote = text[start]
    j = start + 1
    n = len(text)
    while j < n:
        d = text[j]
        if d == "\\":
            j += 2
            continue
        if d == quote:
            return j + 1
        if d == "\n":
            break
        j += 1
    return start + 1


def _raw_end(text, quote):
    """Index just past the raw string whose opening quote is at quote, or -1."""
    paren = text.find("(", quote + 1, quote + 18)
    if paren < 0:
        return -1
    delim = text[quote + 1 : paren]
    if any(ch in delim for ch in ' ()\\\t\v\f\n"'):
        return -1
    close = text.find(")" + delim + '"', paren + 1)
    if close < 0:
        return -1
    return close + len(delim) + 2


def _raw_as_ordinary(body, line):
    parts = body.split("\n")
    pieces = []
    for k, part in enumerate(parts):
        escaped = []
        for ch in part:
            if ch == "\\":
                escaped.append("\\\\")
            elif ch == '"':
                escaped.append('\\"')
            elif ch == "\r":
                escaped.append("\\r")
            elif ord(ch) > 0x7F:
                escaped.append(_escape(ch, line + k))
            else:
                escaped.append(ch)
        pieces.append('"' + "".join(escaped) + ("\\n" if k + 1 < len(parts) else "") + '"')
    return "\n".join(pieces)


def rewrite_file(source, output, line_base=None):
    with open(source, encoding="utf-8", newline="") as f:
        text = f.read()
    if text.startswith("\ufeff"):  # a byte order mark belongs before the #line, or nowhere
        text = text[1:]
    try:
        body = rewrite(text)
    except RewriteError as e:
        raise RewriteError("%s: %s" % (source, e)) from None
    path = os.path.abspath(source)
    if line_base is not None:
        path = os.path.relpath(path, os.path.abspath(line_base)).replace(os.sep, "/")
    path = path.replace("\\", "\\\\").replace('"', '\\"')
    result = '#line 1 "%s"\n%s' % (path, body)
    try:
        with open(output, encoding="utf-8", newline="") as f:
            if f.read() == result:
                return
    except OSError:
        pass
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    tmp = output + ".tmp"
    with open(tmp, "w", encoding="utf-8", newline="") as f:
        f.write(result)
    os.replace(tmp, output)


def rewrite_tree(src_root, out_root, list_file, line_base=None):
    with open(list_file, encoding="utf-8") as f:
        names = [line.strip() for line in f if line.strip()]
    for rel in names:
        rewrite_file(os.path.join(src_root, rel), os.path.join(out_root, rel), line_base)
    wanted = {os.path.normpath(os.path.join(out_root, rel)) for rel in names}
    for folder, dirs, files in os.walk(out_root, topdown=False):
        for name in files:
            path = os.path.normpath(os.path.join(folder, name))
            if path not in wanted:
                os.remove(path)
        if folder != out_root and not os.listdir(folder):
            os.rmdir(folder)


def main(argv):
    line_base = None
    if len(argv) >= 2 and argv[0] == "--line-base":
        line_base, argv = argv[1], argv[2:]
    try:
        if len(argv) == 4 and argv[0] == "--tree":
            rewrite_tree(argv[1], argv[2], argv[3], line_base)
        elif len(argv) == 2:
            rewrite_file(argv[0], argv[1], line_base)
        else:
            print(__doc__, file=sys.stderr)
            return 2
    except (RewriteError, OSError, UnicodeDecodeError) as e:
        print("cp932_literals: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
