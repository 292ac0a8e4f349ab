#!/usr/bin/env python3
"""Draws the browser extension's icons (16, 32, 48 and 128 pixels) into this folder.

The mark is Zellmate's: a white "Z" on a blue rounded square, here with a strip of the ticker's
yellow text along the bottom and an arrow into it (the page goes to the ticker). Each size is its
own ImageMagick vector drawing (MVG) on a grid of that size, so that the small ones get whole-pixel
edges and simpler shapes instead of a blurred reduction; 16 pixels leaves the strip out.

Usage: make_icons.py [output folder]   (default: the folder of this script)
"""

import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

BLUE = "#1f4e8c"
EDGE = "#153a6a"
WHITE = "#ffffff"
YELLOW = "#ffcc00"
STRIP = "#10243f"


def z_polygon(x0, y0, w, h, t):
    """A "Z" in the box (x0, y0, w, h) with bars and diagonal of thickness t."""
    x1, y1 = x0 + w, y0 + h
    return [(x0, y0), (x1, y0), (x1, y0 + t), (x0 + t * 1.25, y1 - t), (x1, y1 - t), (x1, y1), (x0, y1),
            (x0, y1 - t), (x1 - t * 1.25, y0 + t), (x0, y0 + t)]


def drawing(size):
    s = size / 128.0
    lines = []
    add = lines.append
    radius = max(2.0, 22 * s)
    add("stroke %s stroke-width %.2f fill %s" % (EDGE, max(1.0, 3 * s), BLUE))
    add("roundrectangle %.2f,%.2f %.2f,%.2f %.2f,%.2f" % (1.5 * s + 0.5, 1.5 * s + 0.5, size - 1.5 * s - 1,
                                                          size - 1.5 * s - 1, radius, radius))
    small = size <= 16
    if small:
        z = z_polygon(3.5, 3.5, 9, 9, 2.2)
    else:
        z = z_polygon(18 * s, 16 * s, 64 * s, 58 * s, 15 * s)
    add("stroke none fill %s" % WHITE)
    add("polygon " + " ".join("%.2f,%.2f" % p for p in z))
    if small:
        return "\n".join(lines) + "\n"
    # The ticker strip with its text segments, and a yellow arrow from the Z down into it.
    top, bottom = 88 * s, 112 * s
    add("fill %s" % STRIP)
    add("rectangle %.2f,%.2f %.2f,%.2f" % (14 * s, top, 114 * s, bottom))
    add("fill %s" % YELLOW)
    for a, b in ((20, 38), (44, 52), (58, 80), (86, 108)):
        add("rectangle %.2f,%.2f %.2f,%.2f" % (a * s, top + 7 * s, b * s, bottom - 7 * s))
    ax = 99 * s
    add("fill %s stroke %s stroke-width %.2f" % (YELLOW, EDGE, max(1.0, 2.5 * s)))
    add("polygon %.2f,%.2f %.2f,%.2f %.2f,%.2f %.2f,%.2f %.2f,%.2f %.2f,%.2f %.2f,%.2f" % (
        ax - 7 * s, 52 * s, ax + 7 * s, 52 * s, ax + 7 * s, 68 * s, ax + 16 * s, 68 * s, ax, 86 * s,
        ax - 16 * s, 68 * s, ax - 7 * s, 68 * s))
    return "\n".join(lines) + "\n"


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else HERE
    for size in (16, 32, 48, 128):
        path = os.path.join(out, "zellora-%d.png" % size)
        # The drawing goes on the command line: ImageMagick's usual policy refuses "@file" arguments.
        subprocess.run(["convert", "-size", "%dx%d" % (size, size), "xc:none", "-draw", drawing(size),
                        "-strip", "-define", "png:exclude-chunks=date,time", "PNG32:" + path], check=True)
        print(path)


if __name__ == "__main__":
    main()
