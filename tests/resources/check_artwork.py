#!/usr/bin/env python3
"""Checks the committed artwork against what the wizard window needs of it.

    check_artwork.py ARTWORK_DIR             sizes, PNG format, colour key, contrast, fit, icon
    check_artwork.py ARTWORK_DIR --redraw    the generator redraws the same bytes (exit 77,
                                             skipped, under another ImageMagick version)
"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import zlib

# What the window does with each picture: its size, and where it sits on the background
# (the checking-page marks sit at four places).
NEEDS = {
    177: (640, 480, []), 179: (104, 22, [(19, 437)]), 180: (216, 360, [(10, 48)]),
    181: (34, 34, [(593, 3)]), 182: (34, 34, [(593, 3)]), 183: (620, 2, [(10, 417)]),
    184: (16, 16, [(21, 12)]), 185: (130, 42, [(490, 427)]), 186: (130, 42, [(490, 427)]),
    190: (20, 20, [(248, y) for y in (78, 108, 138, 168)]),
    191: (20, 20, [(248, y) for y in (78, 108, 138, 168)]),
    206: (20, 20, [(248, 386)]), 207: (20, 20, [(248, 386)]), 209: (372, 14, [(248, 394)]),
}
KEY = (0, 255, 0)
CORNER = 12  # the see-through corners lie within this many pixels of the window's corners


def read_png(path):
    """(width, height, rows of RGB tuples); fails unless 8-bit RGB, no alpha, not interlaced."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    pos, idat, head = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            head = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    w, h, depth, colour, _, _, interlace = head
    assert (depth, colour, interlace) == (8, 2, 0), f"{path}: depth {depth}, colour type {colour}"
    raw, stride, prev, rows = zlib.decompress(idat), w * 3, bytearray(w * 3), []
    for y in range(h):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b, c = prev[i], prev[i - 3] if i >= 3 else 0
            if kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                a = a if pa <= pb and pa <= pc else b if pb <= pc else c
            line[i] = (line[i] + (0, a, b, (a + b) // 2, a)[kind]) & 255
        rows.append([tuple(line[i:i + 3]) for i in range(0, stride, 3)])
        prev = line
    return w, h, rows


def luminance(rgb):
    lin = [(v / 255) / 12.92 if v <= 10 else ((v / 255 + 0.055) / 1.055) ** 2.4 for v in rgb]
    return 0.2126 * lin[0] + 0.7152 * lin[1] + 0.0722 * lin[2]


def contrast_with_white(rgb):
    return 1.05 / (luminance(rgb) + 0.05)


def check(folder):
    listed = open(os.path.join(folder, "artwork.rc.in")).read()
    assert sorted(int(n) for n in re.findall(r"^(\d+) PNG ", listed, re.M)) == sorted(NEEDS)
    assert re.search(r'^217 ICON "@VELTRANE_ARTWORK_DIR@/veltrane.ico"', listed, re.M)
    images = {}
    for number, (w, h, _) in NEEDS.items():
        size = read_png(os.path.join(folder, f"{number}.png"))
        assert size[:2] == (w, h), f"{number}.png: {size[:2]}, the window needs {w} x {h}"
        images[number] = size[2]
    bg = images[177]
    for y, row in enumerate(bg):
        for x, rgb in enumerate(row):
            in_corner = min(x, 639 - x) < CORNER and min(y, 479 - y) < CORNER
            assert rgb != KEY or in_corner, f"177.png: see-through pixel at ({x}, {y})"
    for x, y in ((0, 0), (639, 0), (0, 479), (639, 479)):
        assert bg[y][x] == KEY, f"177.png: corner ({x}, {y}) is not see-through"
    for number, rows in images.items():
        assert number == 177 or all(KEY not in row for row in rows), f"{number}.png has key green"
    # White labels at x >= 248 over the content area, white words on the Next buttons.
    worst = min(contrast_with_white(bg[y][x]) for y in range(48, 411) for x in range(248, 626))
    assert worst >= 7, f"content area: white text contrast only {worst:.1f}:1"
    for number in (185, 186):
        centre = [rgb for row in images[number][12:30] for rgb in row[30:100]]
        mean = tuple(sum(c[i] for c in centre) / len(centre) for i in range(3))
        assert contrast_with_white(mean) >= 4.5, f"{number}.png: white text hard to read"
    # A picture on the background shows the background at its edge where it sits.
    for number, (w, h, places) in NEEDS.items():
        for px, py in places:
            for x, y in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
                seen, under = images[number][y][x], bg[py + y][px + x]
                assert max(abs(a - b) for a, b in zip(seen, under)) <= 10, \
                    f"{number}.png at ({px}, {py}): corner ({x}, {y}) {seen} on {under}"
    # The phone's screen says no amount: under its progress track (window x 72..136, y 228..240),
    # where a percentage once stood, every row is one colour, and the track is alike at both ends.
    phone = images[180]
    for y in range(228 - 48, 240 - 48):
        row = phone[y][72 - 10:136 - 10]
        assert max(max(abs(a - b) for a, b in zip(rgb, row[0])) for rgb in row) <= 6, \
            f"180.png: something is written under the phone's progress track (row {y})"
    left, right = phone[172][64], phone[172][152]
    assert max(abs(a - b) for a, b in zip(left, right)) <= 6, f"180.png: the phone's track is filled part way"
    check_icon(os.path.join(folder, "veltrane.ico"))


def check_icon(path):
    """16, 32 and 48 pixels, 32-bit with alpha, stored as bitmaps (XP reads no PNG icons)."""
    data = open(path, "rb").read()
    _, kind, count = struct.unpack("<HHH", data[:6])
    sizes = set()
    for i in range(count):
        w, h, _, _, _, bpp, _, offset = struct.unpack("<BBBBHHII", data[6 + 16 * i:22 + 16 * i])
        assert data[offset:offset + 4] == struct.pack("<I", 40), f"icon entry {w}: not a bitmap"
        assert bpp == 32 and w == h, f"icon entry {w} x {h}, {bpp} bits"
        sizes.add(w)
    assert kind == 1 and sizes == {16, 32, 48}, f"icon sizes {sorted(sizes)}"


def redraw(folder):
    version = subprocess.run(["convert", "-version"], capture_output=True, text=True).stdout
    recorded = open(os.path.join(folder, "imagemagick-version.txt")).read()
    if version.splitlines()[0] != recorded.strip():
        print(f"skipped: drawn with {recorded.strip()}")
        return 77
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([sys.executable, os.path.join(folder, "make_artwork.py"), out], check=True)
        stale = [name for name in sorted(os.listdir(out))
                 if open(os.path.join(out, name), "rb").read()
                 != open(os.path.join(folder, name), "rb").read()]
    assert not stale, f"make_artwork.py draws other bytes than committed: {stale}"
    return 0


if __name__ == "__main__":
    sys.exit(redraw(sys.argv[1]) if "--redraw" in sys.argv else check(sys.argv[1]))
