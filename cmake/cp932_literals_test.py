#!/usr/bin/env python3
"""Tests of the literal rewriting that gives the clang build code page 932 literals."""

import ctypes
import ctypes.util
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cp932_literals  # noqa: E402

rewrite = cp932_literals.rewrite


def octal(text):
    return "".join("\\%03o" % b for b in b"".join(cp932_literals.cp932_bytes(ch) for ch in text))


def glibc_cp932():
    """A function giving what the C library's CP932 conversion (the one g++ uses) makes of one
    character, or None when this is not a glibc system."""
    libc = ctypes.CDLL(ctypes.util.find_library("c"))
    if not hasattr(libc, "gnu_get_libc_version"):
        return None
    libc.iconv_open.restype = ctypes.c_void_p
    libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
    pointer = ctypes.POINTER(ctypes.c_char_p)
    size = ctypes.POINTER(ctypes.c_size_t)
    libc.iconv.argtypes = [ctypes.c_void_p, pointer, size, pointer, size]
    libc.iconv.restype = ctypes.c_size_t
    handle = libc.iconv_open(b"CP932", b"UTF-8")
    if handle in (None, ctypes.c_void_p(-1).value):
        return None

    def convert(ch):
        data = ch.encode("utf-8")
        source = ctypes.create_string_buffer(data, len(data))
        target = ctypes.create_string_buffer(8)
        in_ptr = ctypes.c_char_p(ctypes.addressof(source))
        out_ptr = ctypes.c_char_p(ctypes.addressof(target))
        in_left = ctypes.c_size_t(len(data))
        out_left = ctypes.c_size_t(8)
        libc.iconv(handle, None, None, None, None)
        result = libc.iconv(handle, ctypes.byref(in_ptr), ctypes.byref(in_left), ctypes.byref(out_ptr),
                            ctypes.byref(out_left))
        if result == ctypes.c_size_t(-1).value:
            return None
        return target.raw[: 8 - out_left.value]

    return convert


class Literals(unittest.TestCase):
    def test_narrow_string_and_character_literals_become_octal_cp932(self):
        self.assertEqual(rewrite('const char* s = "続き";'), 'const char* s = "%s";' % octal("続き"))
        self.assertEqual(rewrite("int c = 'あ';"), "int c = '\\202\\240';")
        # A trail byte 0x5C is escaped like any other byte, not left as a lone backslash.
        self.assertEqual(rewrite('"ソ"'), '"\\203\\134"')

    def test_neighbouring_escapes_and_digits_keep_their_meaning(self):
        # The hex escape ends at the backslash; three octal digits never take the digit after them.
        self.assertEqual(rewrite('"\\x82あ1"'), '"\\x82\\202\\2401"')
        self.assertEqual(rewrite('"\\"あ\\\\"'), '"\\"\\202\\240\\\\"')

    def test_comments_and_other_encodings_stay_utf8(self):
        for text in ('// "あ" in a comment\n', "/* 'あ' */", 'u8"あ"', 'u"あ"', 'U"あ"', "L'あ'", "u8'a'",
                     'u8R"(あ)"', 'LR"x(あ)x"'):
            self.assertEqual(rewrite(text), text)
        # A comment continued by a backslash is still a comment on the next line.
        self.assertEqual(rewrite('// a \\\n "あ"\n"い"'), '// a \\\n "あ"\n"%s"' % octal("い"))

    def test_prefix_look_alikes_are_narrow(self):
        self.assertEqual(rewrite('Lx"あ"'), 'Lx"%s"' % octal("あ"))
        self.assertEqual(rewrite('MACRO_L"あ"'), 'MACRO_L"%s"' % octal("あ"))

    def test_digit_separators_do_not_open_a_character_literal(self):
        text = "int n = 1'000'000; const char* s = \"千\"; char c = 'x';"
        self.assertEqual(rewrite(text), text.replace("千", octal("千")))
        self.assertEqual(rewrite("0xFF'FF + 1e+5'0"), "0xFF'FF + 1e+5'0")

    def test_raw_strings(self):
        # ASCII raw strings are copied, and their quotes and parentheses do not confuse the scan.
        text = 'R"x(a "b" \')x" "い"'
        self.assertEqual(rewrite(text), 'R"x(a "b" \')x" "%s"' % octal("い"))
        # A narrow raw string with Japanese becomes ordinary literals, one per line.
        self.assertEqual(rewrite('R"(あ\\"\nb)"'), '"%s\\\\\\"\\n"\n"b"' % octal("あ"))

    def test_unterminated_quote_is_left_alone(self):
        text = "#error don't\n\"あ\""
        self.assertEqual(rewrite(text), "#error don't\n\"%s\"" % octal("あ"))

    def test_lines_do_not_move(self):
        text = '/* a\nb */ "あ"\nR"(x\ny\nあ)"\n"い" // end\n'
        result = rewrite(text)
        self.assertEqual(result.count("\n"), text.count("\n"))
        self.assertEqual(result.splitlines()[-1], '"%s" // end' % octal("い"))

    def test_a_character_without_cp932_form_is_an_error_with_its_line(self):
        with self.assertRaisesRegex(cp932_literals.RewriteError, "line 2: U\\+1F600"):
            rewrite('"a"\n"\U0001F600"')


class Bytes(unittest.TestCase):
    def test_duplicated_characters_take_the_form_windows_writes(self):
        self.assertEqual(cp932_literals.cp932_bytes("髙"), b"\xfb\xfc")  # not the NEC-selected 0xEEE0
        self.assertEqual(cp932_literals.cp932_bytes("ⅰ"), b"\xfa\x40")
        self.assertEqual(cp932_literals.cp932_bytes("＂"), b"\xfa\x57")
        # Characters that also have a JIS or NEC row form keep it.
        self.assertEqual(cp932_literals.cp932_bytes("∵"), b"\x81\xe6")
        self.assertEqual(cp932_literals.cp932_bytes("Ⅰ"), b"\x87\x54")
        self.assertEqual(cp932_literals.cp932_bytes("￢"), b"\x81\xca")

    def test_every_character_as_the_compiler_of_the_other_builds_converts_it(self):
        convert = glibc_cp932()
        if convert is None:
            self.skipTest("no glibc CP932 conversion here")
        differ = []
        for code in range(0x80, 0x10000):
            if 0xD800 <= code < 0xE000:
                continue
            ch = chr(code)
            if cp932_literals.cp932_bytes(ch) != convert(ch):
                differ.append("U+%04X" % code)
        self.assertEqual(differ, [])


class Files(unittest.TestCase):
    def test_output_names_the_source_and_is_written_only_when_it_changes(self):
        with tempfile.TemporaryDirectory() as d:
            src = os.path.join(d, "a.cpp")
            out = os.path.join(d, "out", "sub", "a.cpp")
            with open(src, "w", encoding="utf-8") as f:
                f.write('const char* s = "あ";\n')
            cp932_literals.rewrite_file(src, out)
            with open(out, encoding="utf-8") as f:
                self.assertEqual(f.read(), '#line 1 "%s"\nconst char* s = "\\202\\240";\n' % src)
            os.utime(out, (1, 1))
            cp932_literals.rewrite_file(src, out)
            self.assertEqual(os.stat(out).st_mtime, 1)
            with open(src, "w", encoding="utf-8") as f:
                f.write('const char* s = "い";\n')
            cp932_literals.rewrite_file(src, out)
            self.assertNotEqual(os.stat(out).st_mtime, 1)

    def test_tree_rewrites_the_listed_files_and_removes_the_rest(self):
        with tempfile.TemporaryDirectory() as d:
            src = os.path.join(d, "src")
            out = os.path.join(d, "out")
            os.makedirs(os.path.join(src, "a"))
            for rel, text in (("a/x.h", '"あ"\n'), ("y.cpp", "int y;\n")):
                with open(os.path.join(src, rel), "w", encoding="utf-8") as f:
                    f.write(text)
            os.makedirs(os.path.join(out, "gone"))
            with open(os.path.join(out, "gone", "old.h"), "w") as f:
                f.write("stale\n")
            names = os.path.join(d, "list")
            with open(names, "w") as f:
                f.write("a/x.h\ny.cpp\n")
            self.assertEqual(cp932_literals.main(["--tree", src, out, names]), 0)
            with open(os.path.join(out, "a", "x.h"), encoding="utf-8") as f:
                self.assertTrue(f.read().endswith('"\\202\\240"\n'))
            self.assertTrue(os.path.exists(os.path.join(out, "y.cpp")))
            self.assertFalse(os.path.exists(os.path.join(out, "gone")))

    def test_copies_of_two_clones_are_the_same_bytes_with_a_line_base(self):
        copies = []
        with tempfile.TemporaryDirectory() as d:
            for clone in ("one", "two"):
                root = os.path.join(d, clone)
                os.makedirs(os.path.join(root, "a"))
                with open(os.path.join(root, "a", "x.h"), "w", encoding="utf-8") as f:
                    f.write('"あ"\n')
                names = os.path.join(root, "list")
                with open(names, "w") as f:
                    f.write("a/x.h\n")
                build = os.path.join(root, "build", "fuzz")
                args = ["--line-base", build, "--tree", root, os.path.join(build, "copies"), names]
                self.assertEqual(cp932_literals.main(args), 0)
                with open(os.path.join(build, "copies", "a", "x.h"), encoding="utf-8") as f:
                    copies.append(f.read())
        self.assertEqual(copies[0], '#line 1 "../../a/x.h"\n"\\202\\240"\n')
        self.assertEqual(copies[0], copies[1])

    def test_byte_order_mark_is_dropped(self):
        with tempfile.TemporaryDirectory() as d:
            src = os.path.join(d, "bom.cpp")
            out = os.path.join(d, "bom.out.cpp")
            with open(src, "w", encoding="utf-8-sig") as f:
                f.write('"あ"\n')
            cp932_literals.rewrite_file(src, out)
            with open(out, encoding="utf-8") as f:
                self.assertEqual(f.read(), '#line 1 "%s"\n"\\202\\240"\n' % src)

    def test_failure_leaves_no_output_and_exits_non_zero(self):
        with tempfile.TemporaryDirectory() as d:
            src = os.path.join(d, "bad.cpp")
            out = os.path.join(d, "bad.out.cpp")
            with open(src, "w", encoding="utf-8") as f:
                f.write('"\U0001F600"\n')
            self.assertEqual(cp932_literals.main([src, out]), 1)
            self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    unittest.main()
