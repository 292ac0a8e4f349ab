#!/usr/bin/env python3
"""Draws the catalogue's pictures into this folder.

Pages, header and link strips are ImageMagick vector drawings (MVG) with Japanese text in the IPA
fonts, written as GIF with a small palette. The download animation is drawn frame by frame the
same way, reduced to one shared palette and written as an RLE-8 AVI by avi_rle8.py. The window
icon is drawn at 32 x 32 and 16 x 16.

Usage: make_pictures.py [output folder]   (default: the folder of this script)
"""

import functools
import math
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import avi_rle8  # noqa: E402

PAGE_W, PAGE_H = 640, 400
HEADER_H = 85
STRIP_A_POS, STRIP_A_SIZE = (189, 67), (256, 21)
STRIP_B_POS, STRIP_B_SIZE = (8, 377), (262, 14)
GOTHIC = "IPAGothic"
PGOTHIC = "IPAPGothic"
LINK_BLUE = "#1a3cc8"
HOT_ORANGE = "#ff7a00"


def q(text):
    """Quotes a text for MVG; the few characters that would need escapes are kept out of it."""
    assert "'" not in text and "\\" not in text, text
    return "'" + text + "'"


@functools.lru_cache(maxsize=None)
def text_width(text, size, font=PGOTHIC):
    out = subprocess.run(["convert", "-font", font, "-pointsize", str(size), "label:" + text, "-format", "%w",
                          "info:"], check=True, capture_output=True, text=True).stdout
    return int(out.strip())


class Canvas:
    """Collects MVG commands; every shape runs in its own graphic context."""

    def __init__(self, width, height, background="#ffffff"):
        self.width, self.height, self.background = width, height, background
        self.cmds = []

    def raw(self, text):
        self.cmds.append(text)

    def _paint(self, fill, stroke, sw):
        return "fill %s stroke %s stroke-width %.2f" % (fill or "none", stroke or "none", sw if stroke else 0)

    def rect(self, x0, y0, x1, y1, fill, stroke=None, sw=1.0, r=0):
        shape = ("roundrectangle %.1f,%.1f %.1f,%.1f %.1f,%.1f" % (x0, y0, x1, y1, r, r) if r
                 else "rectangle %.1f,%.1f %.1f,%.1f" % (x0, y0, x1, y1))
        self.raw("push graphic-context %s %s pop graphic-context" % (self._paint(fill, stroke, sw), shape))

    def circle(self, cx, cy, r, fill, stroke=None, sw=1.0):
        self.raw("push graphic-context %s circle %.1f,%.1f %.1f,%.1f pop graphic-context"
                 % (self._paint(fill, stroke, sw), cx, cy, cx + r, cy))

    def ellipse(self, cx, cy, rx, ry, fill, stroke=None, sw=1.0, a0=0, a1=360):
        self.raw("push graphic-context %s ellipse %.1f,%.1f %.1f,%.1f %d,%d pop graphic-context"
                 % (self._paint(fill, stroke, sw), cx, cy, rx, ry, a0, a1))

    def poly(self, points, fill, stroke=None, sw=1.0):
        pts = " ".join("%.1f,%.1f" % p for p in points)
        self.raw("push graphic-context %s polygon %s pop graphic-context" % (self._paint(fill, stroke, sw), pts))

    def polyline(self, points, stroke, sw=1.0):
        pts = " ".join("%.1f,%.1f" % p for p in points)
        self.raw("push graphic-context %s polyline %s pop graphic-context" % (self._paint(None, stroke, sw), pts))

    def line(self, x0, y0, x1, y1, stroke, sw=1.0):
        self.raw("push graphic-context stroke %s stroke-width %.2f line %.1f,%.1f %.1f,%.1f pop graphic-context"
                 % (stroke, sw, x0, y0, x1, y1))

    def text(self, x, y, s, size, fill, font=PGOTHIC, anchor="start", bold=False, underline=False, kerning=0):
        parts = ["push graphic-context", "font %s" % q(font), "font-size %.1f" % size, "fill %s" % fill,
                 "text-anchor %s" % anchor]
        # The IPA fonts have no bold face: a thin outline in the text colour thickens the strokes.
        parts.append("stroke %s stroke-width %.2f" % (fill, 0.45 if size < 20 else 0.9) if bold else "stroke none")
        if underline:
            parts.append("decorate underline")
        if kerning:
            parts.append("kerning %.1f" % kerning)
        parts.append("text %.1f,%.1f %s" % (x, y, q(s)))
        parts.append("pop graphic-context")
        self.raw(" ".join(parts))

    def star(self, cx, cy, outer, inner, fill, stroke=None, sw=1.0, turn=0.0):
        pts = []
        for i in range(10):
            r = outer if i % 2 == 0 else inner
            a = math.radians(-90 + turn + i * 36)
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
        self.poly(pts, fill, stroke, sw)

    def group(self, transform, body):
        """Draws body(canvas) under an extra transform such as 'translate 10,20 rotate 5'."""
        self.raw("push graphic-context " + transform)
        body(self)
        self.raw("pop graphic-context")

    def mvg(self):
        return "\n".join(self.cmds) + "\n"

    def render(self, path, extra=()):
        """Renders to a file; extra are ImageMagick arguments applied before writing."""
        # The drawing goes on the command line: ImageMagick's usual policy refuses "@file" arguments.
        subprocess.run(["convert", "-size", "%dx%d" % (self.width, self.height), "xc:" + self.background,
                        "-draw", self.mvg()] + list(extra) + ["-strip", path], check=True)


def write_gif(png_or_canvas, path, colours, work, overlays=()):
    """Writes a GIF with at most `colours` colours and no dithering (flat areas stay flat and small).

    overlays: (image path, x, y) composited before the reduction."""
    if isinstance(png_or_canvas, Canvas):
        src = os.path.join(work, os.path.basename(path) + ".png")
        png_or_canvas.render("PNG24:" + src)
    else:
        src = png_or_canvas
    args = ["convert", src]
    for img, x, y in overlays:
        args += [img, "-geometry", "+%d+%d" % (x, y), "-composite"]
    # The reduction averages white with the anti-aliased pixels next to it; pull it back to pure
    # white, the window's background, so that pages, header and strips meet without a seam.
    args += ["+dither", "-colors", str(colours), "-fuzz", "3%", "-fill", "#ffffff", "-opaque", "#ffffff", "-strip",
             "GIF:" + path]
    subprocess.run(args, check=True)


def cut_out(src, pos, size, full_size, path):
    """Copies a part of a finished GIF into its own GIF, padded with white below to full_size."""
    subprocess.run(["convert", src, "-crop", "%dx%d+%d+%d" % (size + pos), "+repage", "-background", "#ffffff",
                    "-extent", "%dx%d" % full_size, "-strip", "GIF:" + path], check=True)


# ---------------------------------------------------------------------------------------------
# Header and link strips


def draw_strip_a(hot):
    w, h = STRIP_A_SIZE
    c = Canvas(w, h)
    label = "≫ 最新情報は HOSHIRAI ホームページで"
    if hot:
        c.rect(2.5, 0.5, w - 3.5, 17.5, HOT_ORANGE, "#d05a00", 1, r=4)
        c.text(w / 2, 14, label, 12, "#ffffff", anchor="middle", underline=True)
    else:
        c.text(w / 2, 14, label, 12, LINK_BLUE, anchor="middle", underline=True)
    return c


def draw_strip_b(hot):
    w, h = STRIP_B_SIZE
    c = Canvas(w, h)
    label = "≫ HOSHIRAI ホームページへ（サポート情報）"
    if hot:
        c.rect(0.5, 0.5, w - 1.5, h - 1.5, HOT_ORANGE, "#d05a00", 1, r=3)
        c.text(w / 2, 11, label, 11, "#ffffff", anchor="middle", underline=True)
    else:
        c.text(w / 2, 11, label, 11, LINK_BLUE, anchor="middle", underline=True)
    return c


# Night-sky dots of the header band, fixed so that the picture never changes between runs.
HEADER_STARS = [(232, 12, 1.2), (248, 50, 0.8), (300, 8, 0.9), (350, 52, 1.1), (402, 10, 0.8), (470, 48, 1.0),
                (476, 8, 0.7), (600, 54, 0.9), (630, 8, 1.1), (190, 30, 0.8), (120, 8, 0.7), (150, 52, 0.9),
                (215, 44, 0.7), (445, 28, 0.9)]


def draw_header():
    c = Canvas(PAGE_W, HEADER_H)
    c.rect(0, 0, PAGE_W, 60, "#182a66")
    c.rect(0, 60, PAGE_W, 62.5, "#ff8a00")
    for x, y, r in HEADER_STARS:
        c.circle(x, y, r, "#dfe8ff")
    c.star(34, 31, 21, 8.5, "#ffd23c", "#c08a00", 1.2, turn=-8)
    c.circle(41, 15, 2, "#fff4c0")
    c.text(64, 38, "HOSHIRAI", 30, "#ffffff", font=PGOTHIC, bold=True, kerning=1.5)
    c.text(66, 54, "デスクトップを、もっと楽しく便利に。", 11, "#a8c0ff")
    c.text(262, 40, "オンラインカタログ", 24, "#ffffff", bold=True)
    c.rect(496, 15, 628, 45, "#ffd23c", "#c08a00", 1, r=14)
    c.text(562, 36, "2012年1月号", 17, "#182a66", anchor="middle", bold=True)
    c.text(10, 80, "★ おすすめソフト情報", 12, "#c05000", bold=True)
    c.text(631, 80, "Windows 98/Me/2000/XP 対応", 11, "#707070", anchor="end")
    return c


# ---------------------------------------------------------------------------------------------
# Illustrations for the product pages, drawn into the frame (x0, y0)-(x1, y1).


def ill_zellora(c, x0, y0, x1, y1):
    c.rect(x0, y0, x1, y1, "#4a9cc0")
    c.poly([(x0, y1 - 60), (x0 + 60, y1 - 95), (x0 + 120, y1 - 70), (x0 + 170, y1 - 100), (x1, y1 - 75),
            (x1, y1 - 30), (x0, y1 - 30)], "#3a8a5a")
    c.circle(x1 - 36, y0 + 30, 14, "#fff1a8")
    for i, name in enumerate(("マイ コンピュータ", "ごみ箱", "ニュース")):
        ix, iy = x0 + 12, y0 + 12 + i * 42
        c.rect(ix + 8, iy, ix + 30, iy + 20, "#f0f0f0", "#606060", 1, r=2)
        c.rect(ix + 11, iy + 3, ix + 27, iy + 14, "#2a6fc9")
        c.text(ix + 19, iy + 31, name, 8.5, "#ffffff", anchor="middle")
    # The flash window and the bar with headlines.
    c.rect(x0 + 62, y0 + 16, x1 - 58, y0 + 62, "#ffffff", "#c02020", 2, r=6)
    c.text(x0 + 70, y0 + 32, "地震速報", 11, "#c02020", bold=True)
    c.text(x0 + 70, y0 + 50, "各地の震度は．．．", 10, "#303030")
    bar_y = y1 - 52
    c.rect(x0, bar_y, x1, bar_y + 18, "#000000")
    c.text(x0 + 4, bar_y + 13, "【 ニュース 1月10日 】 ●新作ソフト公開．．．", 10, "#ffd040")
    c.rect(x0, y1 - 30, x1, y1, "#d4d0c8")
    c.line(x0, y1 - 29.5, x1, y1 - 29.5, "#ffffff")
    c.rect(x0 + 4, y1 - 26, x0 + 50, y1 - 4, "#d4d0c8", "#808080", 1)
    c.text(x0 + 27, y1 - 11, "スタート", 10, "#000000", anchor="middle", bold=True)
    c.rect(x1 - 58, y1 - 26, x1 - 4, y1 - 4, "#d4d0c8", "#a0a0a0", 1)
    c.circle(x1 - 48, y1 - 15, 6, "#2a6fc9", "#103678", 1)
    c.line(x1 - 54, y1 - 15, x1 - 42, y1 - 15, "#d8f0ff")
    c.text(x1 - 8, y1 - 11, "12:34", 10, "#000000", anchor="end")
    # A pointer to the scrolling headline.
    c.rect(x0 + 92, bar_y - 34, x1 - 6, bar_y - 10, "#fffbe0", "#e08000", 1.5, r=10)
    c.poly([(x0 + 150, bar_y - 10.5), (x0 + 160, bar_y - 10.5), (x0 + 146, bar_y - 1)], "#fffbe0", "#e08000", 1.5)
    c.rect(x0 + 146, bar_y - 12, x0 + 160, bar_y - 9, "#fffbe0")
    c.text((x0 + 92 + x1 - 6) / 2, bar_y - 17, "ニュースが流れる！", 12, "#c05000", anchor="middle", bold=True)


def window_frame(c, x0, y0, x1, y1, title, colour="#0a246a"):
    c.rect(x0, y0, x1, y1, "#d4d0c8", "#404040", 1)
    c.rect(x0 + 2, y0 + 2, x1 - 2, y0 + 16, colour)
    c.text(x0 + 6, y0 + 13, title, 10, "#ffffff", bold=True)
    for k in range(3):
        bx = x1 - 15 - k * 14
        c.rect(bx, y0 + 4, bx + 11, y0 + 14, "#d4d0c8", "#404040", 0.8)


def ill_zellmate(c, x0, y0, x1, y1):
    c.rect(x0, y0, x1, y1, "#e8eef8")
    wx0, wy0, wx1, wy1 = x0 + 8, y0 + 8, x1 - 8, y1 - 8
    window_frame(c, wx0, wy0, wx1, wy1, "ニュース - Internet Explorer")
    c.rect(wx0 + 3, wy0 + 20, wx1 - 3, wy0 + 34, "#ffffff", "#808080", 1)
    c.text(wx0 + 7, wy0 + 31, "http://news.hoshirai.example/", 9.5, "#303030")
    c.rect(wx0 + 3, wy0 + 38, wx1 - 3, wy1 - 3, "#ffffff", "#808080", 1)
    c.text(wx0 + 10, wy0 + 56, "今日のニュース", 13, "#203a80", bold=True)
    for i in range(7):
        yy = wy0 + 66 + i * 14
        c.rect(wx0 + 10, yy, wx0 + 10 + (150 if i % 3 else 120), yy + 5, "#c8d0e0")
    # The page's context menu with the two entries the companion adds.
    mx, my = wx0 + 70, wy0 + 64
    items = ["戻る(B)", "進む(O)", None, "Zellora に追加", "Zellora で表示", None, "プロパティ(R)"]
    heights = [15 if it else 7 for it in items]
    c.rect(mx + 3, my + 3, mx + 113, my + 3 + sum(heights) + 4, "#808080")
    c.rect(mx, my, mx + 110, my + sum(heights) + 4, "#ffffff", "#404040", 1)
    yy = my + 2
    for it, hh in zip(items, heights):
        if it is None:
            c.line(mx + 4, yy + 3.5, mx + 106, yy + 3.5, "#a0a0a0")
        elif it == "Zellora で表示":
            c.rect(mx + 2, yy, mx + 108, yy + hh - 1, "#0a246a")
            c.text(mx + 10, yy + 11, it, 10, "#ffffff")
        else:
            c.text(mx + 10, yy + 11, it, 10, "#c05000" if "Zellora" in it else "#000000")
        yy += hh
    # Pointer on the highlighted entry.
    px, py = mx + 78, my + 2 + 15 + 15 + 7 + 15 + 6
    c.poly([(px, py), (px, py + 16), (px + 4, py + 12), (px + 7, py + 18), (px + 9, py + 17), (px + 6, py + 11),
            (px + 11, py + 11)], "#ffffff", "#000000", 1)


def ill_clock(c, x0, y0, x1, y1):
    c.rect(x0, y0, x1, y1, "#101c48")
    c.rect(x0, y1 - 50, x1, y1, "#1c2c66")
    stars = [(20, 18), (52, 40), (88, 14), (120, 34), (150, 12), (190, 26), (30, 70), (176, 64), (70, 92),
             (200, 100), (12, 118), (110, 60)]
    for i, (sx, sy) in enumerate(stars):
        c.circle(x0 + sx, y0 + sy, 1.2 if i % 3 else 1.8, "#fff6c8")
    # A constellation.
    pts = [(x0 + 30, y0 + 70), (x0 + 52, y0 + 40), (x0 + 88, y0 + 14), (x0 + 120, y0 + 34), (x0 + 110, y0 + 60)]
    c.polyline(pts, "#6f8fd8", 1)
    for p in pts:
        c.star(p[0], p[1], 4, 1.7, "#ffe680")
    c.circle(x1 - 34, y0 + 34, 18, "#ffe680")
    c.circle(x1 - 26, y0 + 28, 16, "#101c48")
    # The analogue clock.
    cx, cy, r = x0 + 58, y1 - 62, 40
    c.circle(cx, cy, r, "#f8f4e8", "#c0a040", 3)
    for k in range(12):
        a = math.radians(k * 30)
        c.line(cx + (r - 8) * math.sin(a), cy - (r - 8) * math.cos(a), cx + (r - 3) * math.sin(a),
               cy - (r - 3) * math.cos(a), "#404040", 2 if k % 3 == 0 else 1)
    c.line(cx, cy, cx + 18 * math.sin(math.radians(-5)), cy - 18 * math.cos(math.radians(-5)), "#202020", 3)
    c.line(cx, cy, cx + 30 * math.sin(math.radians(270)), cy - 30 * math.cos(math.radians(270)), "#202020", 2)
    c.circle(cx, cy, 3, "#c02020")
    # The digital display.
    c.rect(x0 + 108, y1 - 84, x1 - 8, y1 - 36, "#08102c", "#4060c0", 1.5, r=6)
    c.text((x0 + 108 + x1 - 8) / 2, y1 - 50, "23:45", 30, "#7fe0ff", font=GOTHIC, anchor="middle", bold=True)
    c.text((x0 + 108 + x1 - 8) / 2, y1 - 16, "1月10日（火）", 12, "#c8d8ff", anchor="middle")


def ill_mail(c, x0, y0, x1, y1):
    c.rect(x0, y0, x1, y1, "#dff1ff")
    c.rect(x0, y1 - 30, x1, y1, "#9fd08a")
    # A round-topped red post box.
    bx0, bx1, top, bottom = x0 + 26, x0 + 96, y0 + 62, y1 - 20
    c.rect(bx0, top, bx1, bottom, "#d42a1c", "#8a140c", 1.5)
    c.ellipse((bx0 + bx1) / 2, top, (bx1 - bx0) / 2, 26, "#d42a1c", "#8a140c", 1.5, 180, 360)
    c.rect(bx0 + 1, top - 1, bx1 - 1, top + 3, "#d42a1c")
    c.rect(bx0 + 12, top + 14, bx1 - 12, top + 22, "#3a0c08", r=3)
    c.text((bx0 + bx1) / 2, top + 60, "〒", 30, "#ffffff", font=GOTHIC, anchor="middle", bold=True)
    c.rect(bx0 + 22, bottom, bx0 + 48, bottom + 12, "#5a5a5a")
    # A letter flying in, with motion lines.
    def letter(cv):
        cv.rect(-26, -17, 26, 17, "#ffffff", "#707070", 1.2)
        cv.polyline([(-26, -17), (0, 3), (26, -17)], "#707070", 1.2)
        cv.rect(12, -13, 22, -3, "#e05050")

    c.group("translate %.1f,%.1f rotate -12" % (x0 + 150, y0 + 112), letter)
    for k in range(3):
        c.line(x0 + 178, y0 + 96 + k * 10, x0 + 204, y0 + 92 + k * 10, "#7aa0c8", 2)
    # Balloon.
    c.rect(x0 + 104, y0 + 14, x1 - 10, y0 + 62, "#ffffff", "#e08000", 1.5, r=12)
    c.poly([(x0 + 118, y0 + 61), (x0 + 132, y0 + 61), (x0 + 100, y0 + 78)], "#ffffff", "#e08000", 1.5)
    c.rect(x0 + 117, y0 + 58, x0 + 133, y0 + 62.5, "#ffffff")
    c.text((x0 + 104 + x1 - 10) / 2, y0 + 34, "新着メール", 12, "#c05000", anchor="middle", bold=True)
    c.text((x0 + 104 + x1 - 10) / 2, y0 + 54, "3 通！", 15, "#d42a1c", anchor="middle", bold=True)


def ill_puzzle(c, x0, y0, x1, y1):
    c.rect(x0, y0, x1, y1, "#160e3a")
    colours = ["#ff5a5a", "#ffd23c", "#4aa0ff", "#5ad05a", "#c07aff"]
    grid = ["012340", "120431", "344420", "031123", "204310", "310242"]
    n, cell = 6, 26
    gx, gy = x0 + 12, y0 + 30
    c.rect(gx - 4, gy - 4, gx + n * cell + 4, gy + n * cell + 4, "#2a2060", "#8a7ad8", 1.5, r=6)
    for r in range(n):
        for col in range(n):
            v = int(grid[r][col])
            cx, cy = gx + col * cell + cell / 2, gy + r * cell + cell / 2
            if r == 2 and 2 <= col <= 4:
                c.rect(cx - 12, cy - 12, cx + 12, cy + 12, "#fff6c8", r=4)
            c.star(cx, cy, 10.5, 4.5, colours[v], "#ffffff" if r == 2 and 2 <= col <= 4 else None, 0.8)
    c.text(gx, y0 + 20, "STAGE 12", 12, "#ffd23c", font=GOTHIC, bold=True)
    c.text(x1 - 8, y0 + 20, "SCORE 012800", 12, "#ffffff", font=GOTHIC, anchor="end")
    # The falling star of a chain.
    sx, sy = gx + n * cell + 12, gy + 40
    c.line(sx - 2, sy - 30, sx + 10, sy + 4, "#fff6c8", 2)
    c.star(sx + 12, sy + 8, 9, 4, "#ffffff", "#ffd23c", 1)
    c.text(sx + 12, sy + 36, "3連鎖", 11, "#ffd23c", anchor="middle", bold=True)
    c.text(sx + 12, sy + 52, "！", 13, "#ffd23c", anchor="middle", bold=True)


def ill_wallpaper(c, x0, y0, x1, y1):
    c.rect(x0, y0, x1, y1, "#f3efe6")

    def photo(sky, ground, sun, mountains):
        def body(cv):
            cv.rect(-62, -46, 66, 50, "#a0a0a0")
            cv.rect(-64, -48, 64, 48, "#ffffff", "#b0b0b0", 1)
            cv.rect(-58, -42, 58, 36, sky)
            cv.circle(sun[0], sun[1], sun[2], sun[3])
            cv.poly([(-58, 36)] + mountains + [(58, 36)], ground)
        return body

    c.group("translate %.1f,%.1f rotate -9" % (x0 + 76, y0 + 60),
            photo("#ffb870", "#7a4a8a", (20, -8, 12, "#fff0c0"), [(-40, 0), (-10, 20), (20, -6), (58, 18)]))
    c.group("translate %.1f,%.1f rotate 7" % (x0 + 146, y0 + 100),
            photo("#101c48", "#24306a", (30, -24, 8, "#ffe680"), [(-30, 6), (0, -12), (30, 10), (58, 0)]))
    c.group("translate %.1f,%.1f rotate -3" % (x0 + 84, y0 + 148),
            photo("#8ad0ff", "#3a9a4a", (-30, -22, 10, "#ffffff"), [(-48, 10), (-20, -14), (10, 12), (40, -4)]))
    for sx, sy in ((x0 + 176, y0 + 84), (x0 + 160, y0 + 94), (x0 + 190, y0 + 106)):
        c.circle(sx, sy, 1.2, "#ffffff")


def ill_update(c, x0, y0, x1, y1):
    c.rect(x0, y0, x1, y1, "#e8f4ec")
    wx0, wy0, wx1, wy1 = x0 + 10, y0 + 12, x1 - 10, y1 - 14
    window_frame(c, wx0, wy0, wx1, wy1, "アップデートチェッカー", "#1f6a3a")
    c.rect(wx0 + 4, wy0 + 22, wx1 - 4, wy0 + 118, "#ffffff", "#808080", 1)
    rows = [("Zellora", "最新です", "#1f9a3a"), ("ほしぞら時計", "更新あり", "#e0600a"),
            ("ポストン", "最新です", "#1f9a3a"), ("ほしならべ", "更新あり", "#e0600a")]
    for i, (name, state, colour) in enumerate(rows):
        yy = wy0 + 40 + i * 22
        c.text(wx0 + 12, yy, name, 11, "#202020")
        c.rect(wx1 - 70, yy - 12, wx1 - 10, yy + 3, colour, r=7)
        c.text(wx1 - 40, yy - 1, state, 10, "#ffffff", anchor="middle", bold=True)
    c.text(wx0 + 6, wy0 + 136, "ダウンロード中．．．", 10.5, "#202020")
    c.rect(wx0 + 6, wy0 + 142, wx1 - 6, wy0 + 154, "#ffffff", "#808080", 1)
    for k in range(9):
        c.rect(wx0 + 8 + k * 10, wy0 + 144, wx0 + 16 + k * 10, wy0 + 152, "#2a5ad8")
    c.rect(wx1 - 76, wy1 - 24, wx1 - 8, wy1 - 6, "#d4d0c8", "#404040", 1)
    c.text(wx1 - 42, wy1 - 11, "更新する", 10.5, "#000000", anchor="middle")


def ill_coming(c, x0, y0, x1, y1):
    for i in range(3):
        bx = x0 + 14 + i * 68
        c.rect(bx, y0 + 50, bx + 56, y0 + 130, "#c8c8c8", "#a0a0a0", 1, r=6)
        c.text(bx + 28, y0 + 104, "？", 30, "#ffffff", anchor="middle", bold=True)
    c.text((x0 + x1) / 2, y0 + 168, "COMING SOON", 16, "#909090", font=GOTHIC, anchor="middle", bold=True)


# ---------------------------------------------------------------------------------------------
# Pages


FREE = ("フリーソフト", None)


def price_badge(c, price):
    kind, amount = price
    x0, y0, x1, y1 = 470, 348, 624, 392
    if amount is None:
        c.rect(x0, y0, x1, y1, "#1f9a3a", "#126628", 1.5, r=10)
        c.text((x0 + x1) / 2, 377, kind, 20, "#ffffff", anchor="middle", bold=True)
    else:
        c.rect(x0, y0, x1, y1, "#e0600a", "#9a3c00", 1.5, r=10)
        c.text((x0 + x1) / 2, 363, kind, 11, "#fff0d8", anchor="middle", bold=True)
        c.text((x0 + x1) / 2, 385, amount, 20, "#ffffff", anchor="middle", bold=True)


def product_page(p):
    c = Canvas(PAGE_W, PAGE_H)
    accent, light, dark = p["colours"]
    # Illustration in its frame.
    c.rect(15, 95, 237, 301, light, accent, 2, r=8)
    p["illustration"](c, 19, 99, 233, 297)
    c.rect(15, 95, 237, 301, None, accent, 3, r=8)
    # Requirements box under it.
    requirements_bottom = p.get("requirements_bottom", 390)
    c.rect(16, 310, 236, requirements_bottom, "#f6f6f2", "#d4d4cc", 1, r=6)
    for i, line in enumerate(p["requirements"]):
        c.text(26, 328 + i * 17, line, 11, "#505050")
    # Category, name, catch copy.
    cat_w = text_width(p["category"], 12) + 22
    c.rect(256, 93, 256 + cat_w, 112, accent, r=9)
    c.text(256 + cat_w / 2, 107, p["category"], 12, "#ffffff", anchor="middle", bold=True)
    if p.get("new"):
        c.star(256 + cat_w + 16, 102.5, 10, 5.5, "#ff3030")
        c.text(256 + cat_w + 30, 108, "NEW!", 14, "#ff3030", font=GOTHIC, bold=True)
    # A long name gets smaller type so that its reading still fits beside it.
    name_size = 32
    while 256 + text_width(p["name"], name_size) + 12 + text_width(p["kana"], 14) > 624:
        name_size -= 2
    c.text(255, 145, p["name"], name_size, dark, bold=True)
    c.text(256 + text_width(p["name"], name_size) + 12, 143, p["kana"], 14, "#707070")
    c.rect(256, 152, 624, 154.5, accent)
    c.rect(256, 154.5, 624, 155.5, light)
    c.text(256, 178, p["catch"], 17, accent, bold=True)
    y = 201
    for line in p["description"]:
        c.text(256, y, line, 13, "#303030")
        y += 18
    y += 8
    c.rect(256, y - 11, 266, y - 1, dark)
    c.text(272, y, "主な機能", 13, dark, bold=True)
    y += 19
    for feat in p["features"]:
        c.circle(263, y - 4.5, 3.2, accent)
        c.text(272, y, feat, 12.5, "#303030")
        y += 17.5
    assert y <= 352, p["name"]
    price_badge(c, p["price"])
    # Kept right of x 270, where one page carries the home page link strip.
    c.text(290, 384, "▼ ダウンロードは下のボタンから", 11, "#808080")
    return c


SELECTION = [
    ("ぽけっとメモ", ["デスクトップに", "貼れる付箋メモ。", "色分けもOK"], "memo", "96KB"),
    ("クリップ箱", ["コピーした文字を", "100件まで記憶して", "すぐ呼び出せます"], "clip", "120KB"),
    ("まるごと圧縮", ["ドラッグするだけで", "ZIP の圧縮・解凍が", "できます"], "zip", "210KB"),
    ("タイマーくん", ["カップめんから会議", "まで。音とアニメで", "お知らせ"], "timer", "88KB"),
    ("フォント見本帳", ["入っているフォントを", "一覧で見比べて", "印刷もできます"], "font", "150KB"),
    ("かんたんリネーム", ["たくさんのファイル名", "を連番や日付で", "一括変更"], "rename", "132KB"),
]


def small_icon(c, kind, x, y):
    """36 x 36 pictures for the selection cards, top-left corner (x, y)."""
    if kind == "memo":
        c.rect(x + 4, y + 4, x + 32, y + 32, "#fff27a", "#c8b020", 1)
        c.poly([(x + 24, y + 32), (x + 32, y + 24), (x + 32, y + 32)], "#e8d050")
        for k in range(3):
            c.line(x + 9, y + 12 + k * 6, x + 27, y + 12 + k * 6, "#b89a20")
    elif kind == "clip":
        c.rect(x + 6, y + 5, x + 30, y + 34, "#b07a40", "#704810", 1, r=3)
        c.rect(x + 10, y + 10, x + 26, y + 30, "#ffffff")
        c.rect(x + 13, y + 2, x + 23, y + 8, "#909090", "#505050", 1, r=2)
        for k in range(3):
            c.line(x + 12, y + 15 + k * 5, x + 24, y + 15 + k * 5, "#7090c0")
    elif kind == "zip":
        c.rect(x + 3, y + 10, x + 33, y + 32, "#f0c050", "#a07810", 1, r=2)
        c.rect(x + 3, y + 6, x + 16, y + 12, "#f0c050", "#a07810", 1, r=2)
        for k in range(5):
            c.rect(x + 16, y + 11 + k * 4, x + 20, y + 13 + k * 4, "#606060")
    elif kind == "timer":
        c.circle(x + 18, y + 20, 14, "#ffffff", "#d42a1c", 3)
        c.rect(x + 15, y + 1, x + 21, y + 6, "#d42a1c")
        c.line(x + 18, y + 20, x + 18, y + 10, "#202020", 2)
        c.line(x + 18, y + 20, x + 25, y + 24, "#202020", 2)
    elif kind == "font":
        c.rect(x + 3, y + 3, x + 33, y + 33, "#ffffff", "#7a7a7a", 1, r=3)
        c.text(x + 18, y + 29, "あ", 24, "#3a3aa0", font=GOTHIC, anchor="middle")
    elif kind == "rename":
        c.poly([(x + 6, y + 3), (x + 22, y + 3), (x + 30, y + 11), (x + 30, y + 33), (x + 6, y + 33)], "#ffffff",
               "#7a7a7a", 1)
        c.poly([(x + 22, y + 3), (x + 22, y + 11), (x + 30, y + 11)], "#e0e0e0", "#7a7a7a", 1)
        c.line(x + 10, y + 18, x + 24, y + 18, "#a0a0a0")
        c.line(x + 10, y + 24, x + 20, y + 24, "#a0a0a0")
        c.poly([(x + 16, y + 34), (x + 34, y + 16), (x + 37, y + 19), (x + 19, y + 37), (x + 15, y + 38)],
               "#ffb020", "#905000", 1)


def selection_page():
    c = Canvas(PAGE_W, PAGE_H)
    accent, light = "#7a3ab0", "#f3ecfa"
    c.rect(16, 93, 624, 125, light, r=8)
    c.rect(16, 93, 24, 125, accent, r=3)
    c.text(34, 117, "フリーソフト・セレクション", 22, accent, bold=True)
    c.text(620, 115, "便利な小物ソフトを6本まとめてご紹介！", 12.5, "#505050", anchor="end")
    for i, (name, desc, kind, size) in enumerate(SELECTION):
        col, row = i % 3, i // 3
        x0, y0 = 16 + col * 206, 134 + row * 133
        x1, y1 = x0 + 196, y0 + 125
        c.rect(x0, y0, x1, y1, "#ffffff", "#cdb8e0", 1.5, r=8)
        c.rect(x0 + 1, y0 + 1, x1 - 1, y0 + 28, light, r=7)
        c.circle(x0 + 16, y0 + 15, 10, accent)
        c.text(x0 + 16, y0 + 20, str(i + 1), 14, "#ffffff", font=GOTHIC, anchor="middle", bold=True)
        c.text(x0 + 33, y0 + 21, name, 15, "#402060", bold=True)
        small_icon(c, kind, x0 + 10, y0 + 38)
        for k, line in enumerate(desc):
            c.text(x0 + 56, y0 + 50 + k * 16, line, 11.5, "#303030")
        c.text(x0 + 12, y1 - 10, "サイズ " + size, 10, "#808080")
        c.rect(x1 - 84, y1 - 24, x1 - 8, y1 - 7, "#1f9a3a", r=8)
        c.text(x1 - 46, y1 - 11, "フリーソフト", 10.5, "#ffffff", anchor="middle", bold=True)
    return c


def coming_page():
    c = Canvas(PAGE_W, PAGE_H)
    c.rect(16, 93, 624, 390, "#fafafa", "#d8d8d8", 1, r=10)
    c.text(320, 140, "次号予告", 30, "#182a66", anchor="middle", bold=True)
    c.text(320, 170, "HOSHIRAI オンラインカタログ 2012年2月号", 15, "#505050", anchor="middle")
    ill_coming(c, 212, 180, 428, 360)
    c.text(320, 380, "新作ソフトを準備中です。どうぞお楽しみに！", 13, "#606060", anchor="middle")
    return c


OS = "対応OS：Windows 98/Me/2000/XP"

PAGES = [
    (137, dict(
        colours=("#1f5fbf", "#e8f0fc", "#123a78"), category="ニュースティッカー", name="Zellora", kana="ゼローラ",
        new=True, catch="デスクトップにニュースが流れる！",
        description=["お気に入りのホームページから見出しを取り出して、", "画面の端に電光掲示板のように流します。",
                     "仕事をしながら最新ニュースをチェックできます。"],
        features=["最大32件のホームページを登録", "最前面・デスクトップ・タイトルバーに表示",
                  "表示順序・速度・ループ回数を自由に設定", "地震速報などをフラッシュ表示"],
        price=FREE, requirements=[OS, "必要環境：Internet Explorer 5.0以上", "ファイルサイズ：612KB", "バージョン：1.0"],
        illustration=ill_zellora)),
    (140, dict(
        colours=("#0f8a8a", "#e4f6f6", "#0a5656"), category="ブラウザ連携ツール", name="Zellmate", kana="ゼルメイト",
        new=True, catch="右クリックひとつでニュースに登録",
        description=["Internet Explorer の右クリックメニューに", "「Zellora に追加」「Zellora で表示」を加えます。",
                     "見ているページをその場でティッカーに送れます。"],
        features=["表示中のページを URL リストに追加", "ページをすぐに一回だけ表示",
                  "Zellora のオプションから登録・解除", "Zellora に同梱（単体でも配布）"],
        price=FREE, requirements=[OS, "必要環境：Zellora 1.0", "ファイルサイズ：148KB", "バージョン：1.0"],
        illustration=ill_zellmate)),
    (138, dict(
        colours=("#3a4ab0", "#ecedfa", "#1c2870"), category="デスクトップ時計", name="ほしぞら時計",
        kana="HoshiClock", catch="星空といっしょに時を刻む",
        description=["デスクトップに星空の時計を表示します。", "時刻に合わせて空の色が変わり、",
                     "夜には今夜の星座も見られます。"],
        features=["アナログ・デジタルの2つの表示", "アラームとスヌーズ機能", "毎正時の時報でお知らせ",
                  "インターネットで時刻合わせ"],
        price=("シェアウェア", "￥1,200"), requirements=[OS, "ファイルサイズ：1.2MB", "バージョン：2.3", "試用期間：30日"],
        illustration=ill_clock)),
    (139, None),
    (149, dict(
        colours=("#d0402a", "#fdeeea", "#8a1c10"), category="メールチェッカー", name="Poston", kana="ポストン",
        catch="新着メールをポストがお知らせ",
        description=["タスクトレイのポストが、新しいメールの", "到着を音とアニメーションで知らせます。",
                     "複数のアカウントもまとめてチェック。"],
        features=["POP3 アカウントを最大8件まで登録", "件名と差出人をポップアップ表示",
                  "チェック間隔は1分から設定可能", "メールソフトをワンクリックで起動"],
        price=("シェアウェア", "￥1,000"), requirements=[OS, "ファイルサイズ：420KB", "バージョン：1.5", "試用期間：21日"],
        illustration=ill_mail)),
    (142, dict(
        colours=("#6a3ac0", "#f0eafa", "#3a1a78"), category="パズルゲーム", name="ほしならべ", kana="HoshiNarabe",
        catch="星をそろえて夜空を彩ろう",
        description=["同じ色の星を3つ以上ならべて消していく、", "かんたん操作のパズルゲームです。",
                     "連鎖が決まると夜空に流れ星が！"],
        features=["全100ステージ＋エンドレスモード", "マウスだけで遊べるかんたん操作", "ハイスコアランキング",
                  "BGM・効果音つき"],
        price=("シェアウェア", "￥800"), requirements=[OS, "DirectX 7.0以上", "ファイルサイズ：3.4MB", "バージョン：1.2"],
        illustration=ill_puzzle)),
    (141, dict(
        colours=("#c07a10", "#fbf3e4", "#7a4a00"), category="壁紙集", name="ほしぞら壁紙", kana="Wallpaper Collection",
        catch="毎日ちがう壁紙でリフレッシュ",
        description=["星空や風景など、オリジナル壁紙を60枚収録。", "付属の壁紙チェンジャーで、毎日自動的に",
                     "切り替えることができます。"],
        features=["1024×768／800×600 の2サイズ", "起動時・毎日・毎時間の自動切り替え", "お気に入りだけを選んで表示",
                  "フォルダの画像も追加できます"],
        price=FREE, requirements=[OS, "ファイルサイズ：8.6MB", "収録枚数：60枚", "バージョン：1.0"],
        illustration=ill_wallpaper)),
    (143, dict(
        colours=("#1f8a4a", "#e6f6ec", "#0c5a2a"), category="サポート", name="HOSHIRAI Update",
        kana="アップデートチェッカー", catch="いつでも最新バージョンで安心",
        description=["お使いの HOSHIRAI ソフトの新しいバージョンを", "自動で確認して、ダウンロードまで案内します。",
                     "ご質問はホームページのサポートへどうぞ。"],
        features=["インストール済みのソフトを自動で検出", "更新情報をタスクトレイでお知らせ",
                  "変わった部分だけを小さくダウンロード", "サポート掲示板・よくある質問へ"],
        price=FREE, requirements=[OS, "ファイルサイズ：256KB", "バージョン：1.0"], requirements_bottom=368,
        illustration=ill_update, home_link=True)),
]


# ---------------------------------------------------------------------------------------------
# Download animation: a document flies from a globe into a folder.

ANIM_W, ANIM_H, ANIM_FRAMES = 272, 60, 16
ANIM_BG = "#ece9d8"


def anim_frame(f):
    c = Canvas(ANIM_W, ANIM_H, ANIM_BG)
    # Globe on the left, its grid turning a little every frame.
    gx, gy, gr = 32, 31, 22
    c.circle(gx, gy, gr, "#2a6fc9", "#103678", 1.5)
    c.ellipse(gx - 7, gy - 9, 9, 6, "#6fb0f0")
    c.line(gx - gr + 1, gy, gx + gr - 1, gy, "#d8f0ff", 1.2)
    for lat in (-0.55, 0.55):
        half = gr * math.sqrt(1 - lat * lat) - 1
        c.line(gx - half, gy + gr * lat, gx + half, gy + gr * lat, "#d8f0ff", 1.2)
    for k in range(0, 180, 45):
        lon = math.radians(f * 45 / ANIM_FRAMES + k)
        rx = abs(gr * math.sin(lon))
        if rx < 1:
            c.line(gx, gy - gr + 1, gx, gy + gr - 1, "#d8f0ff", 1.2)
            continue
        a0, a1 = (-90, 90) if math.sin(lon) * math.cos(lon) >= 0 else (90, 270)
        c.ellipse(gx, gy, rx, gr - 1, None, "#d8f0ff", 1.2, a0, a1)
    # Folder on the right.
    fx0, fy0, fx1, fy1 = 214, 16, 262, 52
    c.rect(fx0, fy0 - 6, fx0 + 20, fy0 + 2, "#e8b030", "#9a6a00", 1, r=2)
    c.rect(fx0, fy0, fx1, fy1, "#f0c040", "#9a6a00", 1, r=2)
    # The dotted path.
    def path(t):
        x = 58 + (214 - 58 + 10) * t
        y = 31 - 17 * math.sin(math.pi * t)
        return x, y

    for k in range(1, 12):
        x, y = path(k / 12.0)
        c.circle(x, y, 1.1, "#a0a0a0")
    # The document, tilting as it flies.
    t = (f + 0.5) / ANIM_FRAMES
    x, y = path(t)
    angle = -25 + 50 * t

    def doc(cv):
        cv.poly([(-9, -12), (4, -12), (9, -7), (9, 12), (-9, 12)], "#ffffff", "#505050", 1)
        cv.poly([(4, -12), (4, -7), (9, -7)], "#d0d0d0", "#505050", 1)
        for k in range(4):
            cv.line(-5, -5 + k * 4, 5, -5 + k * 4, "#4a7ad8", 1)

    c.group("translate %.1f,%.1f rotate %.1f" % (x, y, angle), doc)
    # The folder's front flap, drawn last so the arriving document slips in behind it.
    c.poly([(fx0, fy0 + 8), (fx1, fy0 + 8), (fx1, fy1), (fx0, fy1)], "#f8d060", "#9a6a00", 1)
    return c


def write_animation(path, work):
    pngs = []
    for f in range(ANIM_FRAMES):
        png = os.path.join(work, "anim%02d.png" % f)
        anim_frame(f).render("PNG24:" + png)
        pngs.append(png)
    # One palette for all frames: quantise them stacked in one picture.
    raw = subprocess.run(["convert"] + pngs + ["-append", "+dither", "-colors", "40", "-depth", "8", "rgb:-"],
                         check=True, capture_output=True).stdout
    assert len(raw) == ANIM_W * ANIM_H * ANIM_FRAMES * 3
    pixels = [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]
    background = pixels[0]
    colours = sorted(set(pixels) - {background})
    palette = [background] + colours
    index = {c: i for i, c in enumerate(palette)}
    frames = []
    for f in range(ANIM_FRAMES):
        base = f * ANIM_W * ANIM_H
        frames.append([[index[pixels[base + y * ANIM_W + x]] for x in range(ANIM_W)] for y in range(ANIM_H)])
    datas = avi_rle8.write_avi(path, ANIM_W, ANIM_H, palette, frames, 100000)
    for d, fr in zip(datas, frames):
        assert avi_rle8.decode_rle8(d, ANIM_W, ANIM_H) == fr


# ---------------------------------------------------------------------------------------------
# Window icon: a catalogue booklet with the maker's star.


def draw_icon(size):
    c = Canvas(size, size, "none")
    if size == 32:
        c.rect(7.5, 3.5, 28.5, 29.5, "#ffffff", "#707070", 1, r=1)
        c.rect(5.5, 2.5, 26.5, 28.5, "#1f5fbf", "#0c2c68", 1, r=2)
        c.rect(6.5, 3.5, 9.5, 27.5, "#123a78")
        c.star(17.5, 13.5, 8.5, 3.6, "#ffd23c", "#a06a00", 0.8)
        c.rect(11.5, 22.5, 23.5, 24.5, "#ffffff")
        c.poly([(21, 2.5), (25, 2.5), (25, 11), (23, 9), (21, 11)], "#e03030", "#901010", 0.7)
    else:
        c.rect(4.5, 1.5, 14.5, 14.5, "#ffffff", "#707070", 1)
        c.rect(2.5, 0.5, 13.5, 14.5, "#1f5fbf", "#0c2c68", 1)
        c.star(8.5, 6.5, 4.8, 2.0, "#ffd23c", "#a06a00", 0.6)
        c.rect(5, 11, 11, 12, "#ffffff")
    return c


def write_icon(path, work):
    pngs = []
    for size in (32, 16):
        png = os.path.join(work, "icon%d.png" % size)
        draw_icon(size).render("PNG32:" + png)
        pngs.append(png)
    subprocess.run(["convert"] + pngs + ["-strip", "ICO:" + path], check=True)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else HERE
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        strips = {}
        for name, drawer, hot in (("link_a_145", draw_strip_a, False), ("link_a_hot_144", draw_strip_a, True),
                                  ("link_b_148", draw_strip_b, False), ("link_b_hot_147", draw_strip_b, True)):
            png = os.path.join(work, name + ".png")
            drawer(hot).render("PNG24:" + png)
            strips[name] = png
            if hot:
                write_gif(png, os.path.join(out, name + ".gif"), 32, work)
        # The normal strips are drawn into the header and into the page that carries strip B, and
        # then cut back out of the finished pictures: drawing a normal strip when the pointer
        # leaves it then changes no pixel at all.
        header = os.path.join(out, "header_146.gif")
        write_gif(draw_header(), header, 64, work, overlays=[(strips["link_a_145"],) + STRIP_A_POS])
        in_header = HEADER_H - STRIP_A_POS[1]
        cut_out(header, STRIP_A_POS, (STRIP_A_SIZE[0], in_header), STRIP_A_SIZE, os.path.join(out, "link_a_145.gif"))
        names = {137: "page_137_zellora", 140: "page_140_zellmate", 138: "page_138_clock", 139: "page_139_selection",
                 149: "page_149_mail", 142: "page_142_puzzle", 141: "page_141_wallpaper", 143: "page_143_support"}
        for rid, p in PAGES:
            canvas = selection_page() if p is None else product_page(p)
            page = os.path.join(out, names[rid] + ".gif")
            if p and p.get("home_link"):
                write_gif(canvas, page, 64, work, [(strips["link_b_148"],) + STRIP_B_POS])
                cut_out(page, STRIP_B_POS, STRIP_B_SIZE, STRIP_B_SIZE, os.path.join(out, "link_b_148.gif"))
            else:
                write_gif(canvas, page, 64, work)
        write_gif(coming_page(), os.path.join(out, "unused_150.gif"), 32, work)
        write_animation(os.path.join(out, "download_136.avi"), work)
        write_icon(os.path.join(out, "catalogue.ico"), work)


if __name__ == "__main__":
    main()
