#!/usr/bin/env python3
"""Draws Zellora's icons and dialog bitmaps into this folder.

The icons are drawn as ImageMagick vector drawings (MVG), once for 32 x 32 and once for 16 x 16 so
that the small size gets its own line widths instead of a blurred reduction, and packed into .ico
files with both sizes in 32-bit colour with alpha. The two small bitmaps are written pixel by pixel:
their palettes matter to the code that loads them.

Usage: make_art.py [output folder]   (default: the folder of this script)
"""

import math
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

# The fetching animation: fifteen frames shown every 200 ms in this order of icon ids.
ANIM_IDS = [129, 130, 131, 133, 134, 135, 144, 136, 137, 138, 139, 140, 141, 142, 143]

# Ticker "text" on the bar: lit segments within one period of 15 pixels (32 x 32 scale); the
# animation moves it one pixel a frame, so fifteen frames make a seamless loop.
TICKER_PERIOD = 15
TICKER_SEGMENTS = [(0, 4), (6, 7), (9, 12)]


def rgb(c):
    return "#%02x%02x%02x" % c


class Mvg:
    """Collects MVG drawing commands for one image."""

    def __init__(self):
        self.lines = []

    def add(self, text):
        self.lines.append(text)

    def text(self):
        return "\n".join(self.lines) + "\n"


def globe(m, size, phase_deg, colours):
    """A globe with a rotating grid: meridians are half ellipses whose width follows the sine of
    their longitude, so advancing the phase turns the globe."""
    body, edge, grid, shine = colours
    if size == 32:
        cx, cy, r, gw = 15.5, 13.0, 12.0, 1.0
    else:
        cx, cy, r, gw = 7.5, 7.0, 6.5, 1.0
    m.add("push graphic-context")
    m.add("stroke %s stroke-width 1 fill %s" % (rgb(edge), rgb(body)))
    m.add("circle %.2f,%.2f %.2f,%.2f" % (cx, cy, cx + r, cy))
    # Highlight towards the upper left gives the ball some volume.
    m.add("stroke none fill %s fill-opacity 0.55" % rgb(shine))
    m.add("ellipse %.2f,%.2f %.2f,%.2f 0,360" % (cx - r * 0.35, cy - r * 0.4, r * 0.45, r * 0.3))
    m.add("fill-opacity 1")
    # Grid lines, clipped to the ball by staying inside it.
    m.add("fill none stroke %s stroke-width %.1f stroke-opacity %.2f" % (rgb(grid), gw, 0.85 if size == 32 else 0.7))
    m.add("line %.2f,%.2f %.2f,%.2f" % (cx - r + 0.5, cy, cx + r - 0.5, cy))
    if size == 32:
        for lat in (-0.55, 0.55):
            y = cy + r * lat
            half = r * math.sqrt(1 - lat * lat) - 0.5
            m.add("line %.2f,%.2f %.2f,%.2f" % (cx - half, y, cx + half, y))
    step = 60 if size == 32 else 90
    for k in range(0, 180, step):
        lon = math.radians(phase_deg + k)
        rx = abs(r * math.sin(lon))
        if rx < 0.6:
            m.add("line %.2f,%.2f %.2f,%.2f" % (cx, cy - r + 0.5, cx, cy + r - 0.5))
            continue
        if math.sin(lon) * math.cos(lon) >= 0:
            start, end = -90, 90
        else:
            start, end = 90, 270
        m.add("ellipse %.2f,%.2f %.2f,%.2f %d,%d" % (cx, cy, rx, r - 0.5, start, end))
    m.add("pop graphic-context")


def ticker_bar(m, size, shift, lit, dark):
    """The black ticker bar across the bottom with its amber text segments."""
    if size == 32:
        x0, y0, x1, y1 = 0.5, 20.5, 31.5, 29.5
        m.add("stroke #000000 stroke-width 1 fill #1c1c1c")
        m.add("roundrectangle %.1f,%.1f %.1f,%.1f 2,2" % (x0, y0, x1, y1))
        ty0, ty1, scale = 22, 25, 1
        left, right = 3, 29
    else:
        x0, y0, x1, y1 = 0.5, 10.5, 15.5, 15.5
        m.add("stroke #000000 stroke-width 1 fill #1c1c1c")
        m.add("rectangle %.1f,%.1f %.1f,%.1f" % (x0, y0, x1, y1))
        ty0, ty1, scale = 12, 13, 1
        left, right = 2, 13
    if lit is None:
        return
    m.add("stroke none fill %s" % rgb(lit))
    # Repeat the segment pattern over the bar, moved left by `shift` pixels.
    for base in range(-TICKER_PERIOD * 2, right + TICKER_PERIOD, TICKER_PERIOD):
        for a, b in TICKER_SEGMENTS:
            xa = base + a * scale - shift
            xb = base + b * scale - shift
            xa, xb = max(xa, left), min(xb, right)
            if xa <= xb:
                m.add("rectangle %d,%d %d,%d" % (xa, ty0, xb, ty1))
    if dark is not None:
        # A dimmer second row makes the bar read as a line of text at 32 x 32.
        if size == 32:
            m.add("fill %s" % rgb(dark))
            m.add("rectangle %d,%d %d,%d" % (left, 27, right, 27))


def satellite(m, size, angle_deg, trail=True):
    """A bright news dot orbiting the globe on a tilted ellipse, with a fading trail behind."""
    if size == 32:
        cx, cy, ax, ay, dot = 15.5, 11.0, 13.5, 5.5, 2.6
    else:
        cx, cy, ax, ay, dot = 7.5, 5.5, 6.0, 2.8, 1.6
    tilt = math.radians(-20)

    def pos(a):
        a = math.radians(a)
        x, y = ax * math.cos(a), ay * math.sin(a)
        return (cx + x * math.cos(tilt) - y * math.sin(tilt), cy + x * math.sin(tilt) + y * math.cos(tilt))

    m.add("push graphic-context")
    if trail:
        for i, back in enumerate((54, 36, 18)):
            x, y = pos(angle_deg - back)
            rr = dot * (0.45 + 0.15 * i)
            m.add("stroke none fill #ffd040 fill-opacity %.2f" % (0.25 + 0.2 * i))
            m.add("circle %.2f,%.2f %.2f,%.2f" % (x, y, x + rr, y))
    x, y = pos(angle_deg)
    m.add("fill-opacity 1 stroke #a04000 stroke-width %.1f fill #ffe060" % (1.0 if size == 32 else 0.8))
    m.add("circle %.2f,%.2f %.2f,%.2f" % (x, y, x + dot, y))
    m.add("pop graphic-context")


BLUE = ((0x2a, 0x6f, 0xc9), (0x10, 0x36, 0x78), (0xd8, 0xf0, 0xff), (0x9c, 0xd4, 0xff))
GREY = ((0x9a, 0x9a, 0x9a), (0x50, 0x50, 0x50), (0xe4, 0xe4, 0xe4), (0xd0, 0xd0, 0xd0))
AMBER = (0xff, 0xb4, 0x20)
AMBER_DIM = (0x8a, 0x5c, 0x10)


def draw_program(size):
    m = Mvg()
    globe(m, size, 25, BLUE)
    ticker_bar(m, size, 0, AMBER, AMBER_DIM)
    satellite(m, size, -50, trail=False)
    return m


def draw_idle(size):
    m = Mvg()
    globe(m, size, 25, BLUE)
    ticker_bar(m, size, 0, AMBER, AMBER_DIM)
    return m


def draw_anim(size, frame):
    m = Mvg()
    # The grid repeats every 60 (large) or 90 (small) degrees of longitude; one cycle of the
    # animation turns it by exactly that much so the loop has no jump.
    period = 60 if size == 32 else 90
    globe(m, size, 25 + frame * period / 15.0, BLUE)
    ticker_bar(m, size, frame, AMBER, AMBER_DIM)
    satellite(m, size, -90 + frame * 24)
    return m


def draw_stopped(size):
    m = Mvg()
    globe(m, size, 25, GREY)
    ticker_bar(m, size, 0, None, None)
    # A red "no entry" badge on the lower right.
    if size == 32:
        cx, cy, r, bar = 23.5, 22.5, 7.5, 1.5
        m.add("stroke #ffffff stroke-width 1.5 fill #d42020")
    else:
        cx, cy, r, bar = 11.5, 11.5, 4.5, 0.5
        m.add("stroke #ffffff stroke-width 1 fill #d42020")
    m.add("circle %.2f,%.2f %.2f,%.2f" % (cx, cy, cx + r, cy))
    m.add("stroke none fill #ffffff")
    inset = 2.5 if size == 32 else 1.5
    m.add("rectangle %.2f,%.2f %.2f,%.2f" % (cx - r + inset, cy - bar, cx + r - inset, cy + bar))
    return m


def render_png(mvg, size, path, workdir):
    # The drawing goes on the command line: ImageMagick's usual policy refuses "@file" arguments.
    subprocess.run(["convert", "-size", "%dx%d" % (size, size), "xc:none", "-draw", mvg.text(),
                    "-strip", "PNG32:" + path], check=True, cwd=workdir)


def write_icon(drawer, out_path, workdir):
    pngs = []
    for size in (32, 16):
        png = os.path.join(workdir, os.path.basename(out_path) + ".%d.png" % size)
        render_png(drawer(size), size, png, workdir)
        pngs.append(png)
    # ImageMagick keeps each input as its own entry of the icon: 32-bit BMP images with alpha.
    subprocess.run(["convert"] + pngs + ["-strip", "ICO:" + out_path], check=True)


def write_bmp(path, width, height, bits, palette, pixels):
    """Writes a bottom-up, uncompressed, palette BMP (4 or 8 bits per pixel).

    pixels[y][x] are palette indices, row 0 at the top."""
    row_bytes = ((width * bits + 31) // 32) * 4
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        if bits == 8:
            row.extend(pixels[y])
        else:
            for x in range(0, width, 2):
                hi = pixels[y][x]
                lo = pixels[y][x + 1] if x + 1 < width else 0
                row.append((hi << 4) | lo)
        row.extend(b"\0" * (row_bytes - len(row)))
        rows.append(bytes(row))
    data = b"".join(rows)
    colours = len(palette)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 2835, 2835, colours, 0)
    with open(path, "wb") as f:
        f.write(header + info + table + data)


# Palette of the size grip. The loader turns every key-coloured (magenta) pixel into index 0 and
# copies the bitmap plainly, so index 0 must be the dialog face colour, not the key.
GRIP_PALETTE = [
    (0xf0, 0xf0, 0xf0),  # 0 face (what keyed pixels become)
    (0xff, 0x00, 0xff),  # 1 key: transparent
    (0xff, 0xff, 0xff),  # 2 highlight
    (0x80, 0x80, 0x80),  # 3 shadow
    (0xa0, 0xa0, 0xa0),  # 4 dot body
]


def grip_pixels():
    """17 x 17: six raised dots in a triangle towards the lower right corner."""
    n = 17
    px = [[1] * n for _ in range(n)]
    for row in range(3):
        for col in range(3):
            if row + col < 2:
                continue
            # Dot top-left corner; the last dot ends two pixels inside the corner.
            x = 4 + col * 4
            y = 4 + row * 4
            px[y][x] = 3
            px[y][x + 1] = 4
            px[y + 1][x] = 4
            px[y + 1][x + 1] = 4
            px[y + 2][x + 1] = 2
            px[y + 1][x + 2] = 2
            px[y + 2][x + 2] = 2
    return px


HELP_PALETTE = [
    (0xff, 0xff, 0xff),  # 0 white
    (0x40, 0x40, 0x40),  # 1 outer frame
    (0xff, 0xff, 0xff),  # 2 bevel light
    (0xa0, 0xa0, 0xa0),  # 3 bevel dark
    (0xec, 0xec, 0xe4),  # 4 face
    (0x1a, 0x5a, 0xc8),  # 5 disc
    (0x0c, 0x32, 0x80),  # 6 disc edge
    (0x6c, 0xa8, 0xf0),  # 7 disc light
]

# The "?" glyph on the 16 x 16 button, 1 = white pixel; drawn into the blue disc.
QMARK = [
    ".####.",
    "##..##",
    "....##",
    "...##.",
    "..##..",
    "..##..",
    "......",
    "..##..",
]


def help_pixels():
    """16 x 16 button picture: framed raised square holding a blue disc with a white "?"."""
    n = 16
    px = [[4] * n for _ in range(n)]
    for i in range(n):
        px[0][i] = px[n - 1][i] = px[i][0] = px[i][n - 1] = 1
    for i in range(1, n - 1):
        px[1][i] = 2
        px[i][1] = 2
        px[n - 2][i] = 3
        px[i][n - 2] = 3
    px[n - 2][1] = 3
    # The disc around the centre (7.5, 7.5); its rim is lit on the upper left, shaded lower right.
    for y in range(2, n - 2):
        for x in range(2, n - 2):
            d = math.hypot(x - 7.5, y - 7.5)
            if d <= 5.0:
                px[y][x] = 5
            elif d <= 5.9:
                px[y][x] = 7 if (x - 7.5) + (y - 7.5) < 0 else 6
    for gy, row in enumerate(QMARK):
        for gx, ch in enumerate(row):
            if ch == "#":
                px[4 + gy][5 + gx] = 0
    return px


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else HERE
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        write_icon(draw_program, os.path.join(out, "zellora.ico"), work)
        write_icon(draw_idle, os.path.join(out, "idle_145.ico"), work)
        write_icon(draw_stopped, os.path.join(out, "stopped_146.ico"), work)
        for frame, rid in enumerate(ANIM_IDS):
            write_icon(lambda size, f=frame: draw_anim(size, f), os.path.join(out, "anim_%d.ico" % rid), work)
    write_bmp(os.path.join(out, "grip_131.bmp"), 17, 17, 4, GRIP_PALETTE, grip_pixels())
    write_bmp(os.path.join(out, "help_141.bmp"), 16, 16, 4, HELP_PALETTE, help_pixels())


if __name__ == "__main__":
    main()
