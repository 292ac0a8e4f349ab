"""Screenshots as pixels, without image libraries: the X server's root window read as raw RGB
by ImageMagick's import, for the end-to-end tests that look at what the ticker draws."""

import subprocess


class Shot:
    def __init__(self, width, height, data):
        self.width = width
        self.height = height
        self.data = data

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return self.data[i], self.data[i + 1], self.data[i + 2]

    def count(self, colour, top=0, bottom=None, left=0, right=None):
        """How many pixels of exactly this colour lie in rows top..bottom-1, columns left..right-1."""
        bottom = self.height if bottom is None else bottom
        right = self.width if right is None else right
        wanted = bytes(colour)
        n = 0
        for y in range(top, bottom):
            row = self.data[(y * self.width + left) * 3:(y * self.width + right) * 3]
            start = 0
            while True:
                i = row.find(wanted, start)
                if i < 0:
                    break
                if i % 3 == 0:
                    n += 1
                    start = i + 3
                else:
                    start = i + 1
        return n

    def columns_with(self, colour, top, bottom):
        """The x of every column that holds the colour somewhere in rows top..bottom-1."""
        wanted = bytes(colour)
        found = set()
        for y in range(top, bottom):
            row = self.data[y * self.width * 3:(y + 1) * self.width * 3]
            for x in range(self.width):
                if row[x * 3:x * 3 + 3] == wanted:
                    found.add(x)
        return sorted(found)


def take(env, save_as=None):
    """The whole screen now; also saved as a PNG when save_as is given."""
    rc, out = env.run("sh", "-c", "xdpyinfo 2>/dev/null | awk '/dimensions:/{print $2}'")
    width, height = (int(v) for v in out.split()[0].split("x"))
    raw = env.tmp_dir / "shot.rgb"
    env.run("import", "-window", "root", "-depth", "8", "rgb:" + str(raw))
    data = raw.read_bytes()
    if save_as:
        env.run("convert", "-size", "%dx%d" % (width, height), "-depth", "8", "rgb:" + str(raw), str(save_as))
    return Shot(width, height, data)
