"""A small writer for the AVI files the Windows animation control plays.

The control plays only bottom-up uncompressed or run-length encoded 8-bit video without sound, one
frame per chunk of the 'movi' list and no 'rec ' lists. This writer makes exactly that: one video
stream, every frame a complete RLE-8 key frame (or plain 8-bit rows with rle=False), an index.
"""

import struct

AVIF_HASINDEX = 0x10
AVIIF_KEYFRAME = 0x10
BI_RGB = 0
BI_RLE8 = 1


def _chunk(fourcc, data):
    pad = b"\0" if len(data) % 2 else b""
    return fourcc + struct.pack("<I", len(data)) + data + pad


def _list(kind, payload):
    return b"LIST" + struct.pack("<I", len(payload) + 4) + kind + payload


def _flush_literal(out, lit):
    """Pixels that do not repeat: absolute mode for three or more (padded to a word), else as
    short runs, since absolute mode cannot hold fewer than three."""
    while lit:
        part, lit = lit[:255], lit[255:]
        if len(part) >= 3:
            out += bytes((0, len(part))) + bytes(part)
            if len(part) % 2:
                out.append(0)
        else:
            for v in part:
                out += bytes((1, v))


def encode_rle8_row(row):
    out = bytearray()
    lit = []
    i, n = 0, len(row)
    while i < n:
        j = i
        while j < n and row[j] == row[i] and j - i < 255:
            j += 1
        run = j - i
        if run >= 3:
            _flush_literal(out, lit)
            lit = []
            out += bytes((run, row[i]))
        else:
            lit.extend(row[i:j])
        i = j
    _flush_literal(out, lit)
    return out


def encode_rle8(rows):
    """rows: top-down lists of palette indices. Returns one bottom-up RLE-8 frame."""
    out = bytearray()
    for k, row in enumerate(reversed(rows)):
        out += encode_rle8_row(row)
        out += b"\0\1" if k == len(rows) - 1 else b"\0\0"
    return bytes(out)


def decode_rle8(data, width, height):
    """Decoder for checking the encoder; returns top-down rows."""
    rows = [[0] * width for _ in range(height)]
    x = y = 0
    i = 0
    while i < len(data):
        a, b = data[i], data[i + 1]
        i += 2
        if a:
            for _ in range(a):
                rows[height - 1 - y][x] = b
                x += 1
        elif b == 0:
            x, y = 0, y + 1
        elif b == 1:
            break
        elif b == 2:
            x, y = x + data[i], y + data[i + 1]
            i += 2
        else:
            for v in data[i:i + b]:
                rows[height - 1 - y][x] = v
                x += 1
            i += b + (b & 1)
    return rows


def write_avi(path, width, height, palette, frames, usec_per_frame, rle=True):
    """frames: list of frames, each a list of `height` top-down rows of palette indices."""
    colours = len(palette)
    if rle:
        datas = [encode_rle8(f) for f in frames]
    else:
        stride = (width + 3) & ~3
        datas = [b"".join(bytes(r) + b"\0" * (stride - width) for r in reversed(f)) for f in frames]
    # The control reads this many bytes for every frame and GDI decodes an RLE frame up to its
    # end-of-bitmap code, so the largest frame gives both the buffer and the image size.
    largest = max(len(d) for d in datas)
    max_bytes_per_sec = largest * 1000000 // usec_per_frame

    avih = struct.pack("<IIIIIIIIII4I", usec_per_frame, max_bytes_per_sec, 0, AVIF_HASINDEX, len(frames), 0, 1,
                       largest, width, height, 0, 0, 0, 0)
    handler = b"RLE " if rle else b"DIB "
    strh = struct.pack("<4s4sIHHIIIIIIIIhhhh", b"vids", handler, 0, 0, 0, 0, usec_per_frame, 1000000, 0,
                       len(frames), largest, 0xFFFFFFFF, 0, 0, 0, width, height)
    bih = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, BI_RLE8 if rle else BI_RGB, largest, 0, 0, colours,
                      colours)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    strl = _list(b"strl", _chunk(b"strh", strh) + _chunk(b"strf", bih + table))
    hdrl = _list(b"hdrl", _chunk(b"avih", avih) + strl)

    movi_payload = bytearray()
    index = bytearray()
    for d in datas:
        # Offsets in the index count from the 'movi' fourcc.
        index += struct.pack("<4sIII", b"00dc", AVIIF_KEYFRAME, 4 + len(movi_payload), len(d))
        movi_payload += _chunk(b"00dc", d)
    movi = _list(b"movi", bytes(movi_payload))
    body = b"AVI " + hdrl + movi + _chunk(b"idx1", bytes(index))
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)
    return datas
