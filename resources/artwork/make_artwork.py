#!/usr/bin/env python3
"""Draws every picture of Veltrane's wizard window with ImageMagick's `convert`.

    resources/artwork/make_artwork.py [OUTDIR]     (default: this script's folder)

Writes the PNG resources (8-bit RGB, no alpha, no ancillary chunks), veltrane.ico
(16, 32 and 48 px), preview.png (the notice page without its texts, and every image
on its own) and imagemagick-version.txt (the `convert` that drew them: the same
version redraws the same bytes). Fonts are taken by file path from fonts-liberation.
Pictures that sit on the background at a fixed place are drawn over the piece of
the background they cover, so they blend in. Pure green RGB(0,255,0), the window's
colour key, appears only outside the rounded corners of the background.
"""
import os
import shutil
import subprocess
import sys
import tempfile

CONVERT = os.environ.get("CONVERT", "convert")
FONTS = "/usr/share/fonts/truetype/liberation/"
BOLD = FONTS + "LiberationSans-Bold.ttf"
REGULAR = FONTS + "LiberationSans-Regular.ttf"
KEY = "#00FF00"
WIDTH, HEIGHT, CORNER = 640, 480, 10

# Where the window shows each picture: (x, y, width, height) in client pixels.
PLACES = {
    179: (19, 437, 104, 22), 180: (10, 48, 216, 360),
    181: (593, 3, 34, 34), 182: (593, 3, 34, 34), 183: (10, 417, 620, 2),
    184: (21, 12, 16, 16), 185: (490, 427, 130, 42), 186: (490, 427, 130, 42),
    190: (248, 78, 20, 20), 191: (248, 78, 20, 20),
    206: (248, 386, 20, 20), 207: (248, 386, 20, 20), 209: (248, 394, 372, 14),
}
PNG_OUT = ["-alpha", "off", "-depth", "8", "-strip",
           "-define", "png:exclude-chunks=all", "-define", "png:compression-level=9",
           "-define", "png:compression-filter=5", "-define", "png:compression-strategy=1"]

ENV = dict(os.environ, MAGICK_THREAD_LIMIT="1", LC_ALL="C")
WORK = None  # the folder of intermediate pictures, made by main()
_count = [0]


def im(*args):
    subprocess.run([CONVERT, *map(str, args)], check=True, env=ENV)


def tmp(name):
    _count[0] += 1
    return os.path.join(WORK, f"{_count[0]:03d}-{name}.miff")


class Canvas:
    """Layers in design pixels, drawn k times larger and box-filtered down at the end."""

    def __init__(self, name, w, h, k=1, base=None):
        self.name, self.w, self.h, self.k = name, w, h, k
        self.size = f"{w * k}x{h * k}"
        if base and k > 1:
            base = self._new("base", [base, "-scale", f"{k * 100}%"])
        self.files = [base or self._new("base", ["xc:none"])]

    def _new(self, what, args):
        path = tmp(f"{self.name}-{what}")
        im("-size", self.size, *args, path)
        return path

    def solid(self, colour):
        return ["xc:" + colour]

    def linear(self, x1, y1, c1, x2, y2, c2):
        k = self.k
        return ["xc:none", "-alpha", "set", "-channel", "RGBA", "-sparse-color", "Barycentric",
                f"{x1 * k},{y1 * k} {c1} {x2 * k},{y2 * k} {c2}", "+channel"]

    def radial(self, cx, cy, r, colour, power=2.0):
        """Colour fading from the centre (cx, cy) to nothing at radius r."""
        k, d = self.k, 2 * r * self.k
        return ["(", "-size", f"{d}x{d}", f"radial-gradient:{colour}-{colour}", ")",
                "(", "-size", f"{d}x{d}", "radial-gradient:white-black",
                "-evaluate", "pow", power, ")", "-alpha", "off", "-compose", "CopyOpacity",
                "-composite", "-background", "none", "-compose", "Over",
                "-extent", f"{self.size}{-(cx - r) * k:+d}{-(cy - r) * k:+d}"]

    def add(self, mvg, paint, opacity=1.0, blur=0.0):
        """Paints `paint` where the white of the MVG drawing is (fill white unless it says)."""
        k = self.k
        mask = ["(", "-size", self.size, "xc:black", "-fill", "white", "-stroke", "none",
                "-draw", f"scale {k},{k} {mvg}"]
        if blur:
            mask += ["-blur", f"0x{blur * k}"]
        if opacity != 1.0:
            mask += ["-evaluate", "multiply", opacity]
        mask += ["-alpha", "copy", ")"]
        path = tmp(f"{self.name}-layer")
        im("-size", self.size, *paint, "-alpha", "set", *mask,
           "-compose", "DstIn", "-composite", path)
        self.files.append(path)

    def text(self, x, y, words, colour, size, font=BOLD, kerning=0.0, opacity=1.0):
        k = self.k
        path = self._new("text", ["xc:none", "-font", font, "-pointsize", size * k,
                                  "-kerning", kerning * k, "-fill", colour,
                                  "-annotate", f"+{x * k}+{y * k}", words,
                                  "-channel", "A", "-evaluate", "multiply", opacity, "+channel"])
        self.files.append(path)

    def picture(self, path, x, y):
        """Another rendered picture at (x, y), in design pixels."""
        k = self.k
        placed = self._new("picture", ["xc:none", "(", path, "-scale", f"{k * 100}%", ")",
                                       "-geometry", f"+{x * k}+{y * k}",
                                       "-compose", "Over", "-composite"])
        self.files.append(placed)

    def render(self):
        args = [self.files[0], "-compose", "Over"]
        for path in self.files[1:]:
            args += [path, "-composite"]
        if self.k > 1:
            args += ["-filter", "Box", "-resize", f"{self.w}x{self.h}!"]
        out = tmp(self.name)
        im(*args, out)
        return out


def crop(src, x, y, w, h):
    out = tmp("crop")
    im(src, "-crop", f"{w}x{h}+{x}+{y}", "+repage", out)
    return out


# ---------------------------------------------------------------------------- background

def background():
    c = Canvas("background", WIDTH, HEIGHT)
    c.add("rectangle 0,0 639,479", c.linear(0, 40, "#0f364a", 0, 479, "#061821"))
    c.add("rectangle 0,0 639,479", c.radial(118, 232, 300, "#1f7d8f"), opacity=0.55)
    c.add("rectangle 0,0 639,479", c.radial(560, 120, 260, "#1b4f7a"), opacity=0.25)
    # The content panel, hanging from the title band, darkens what the labels are drawn on.
    c.add("roundrectangle 238,20 631,410 9,9", c.linear(0, 42, "#010a11", 0, 410, "#03121b"),
          opacity=0.55)
    c.add("fill none stroke white stroke-width 1 roundrectangle 238.5,20.5 630.5,409.5 9,9",
          c.linear(0, 42, "#7fd3e2", 0, 410, "#3f8fa3"), opacity=0.28)
    # Title band with its sheen and a teal rule that fades out to the sides.
    c.add("rectangle 0,0 639,41", c.linear(0, 0, "#0c2a3a", 0, 41, "#061b27"))
    c.add("rectangle 0,0 639,19", c.linear(0, 0, "#ffffff", 0, 19, "#ffffff00"), opacity=0.06)
    c.add("rectangle 0,41 319,41", c.linear(0, 0, "#3cc3d300", 319, 0, "#3cc3d3"))
    c.add("rectangle 320,41 639,41", c.linear(320, 0, "#3cc3d3", 639, 0, "#3cc3d300"))
    c.add("rectangle 0,42 639,43", c.solid("black"), opacity=0.35)
    # Footer under the separator, and the separator itself.
    c.add("rectangle 0,419 639,479", c.linear(0, 419, "#051520", 0, 479, "#030c12"))
    c.picture(separator_line(), 10, 417)
    # A thin frame; outside the rounded corners the colour key.
    c.add(f"fill none stroke white stroke-width 1 roundrectangle 0.5,0.5 638.5,478.5 "
          f"{CORNER},{CORNER}", c.linear(0, 0, "#4aa6b8", 0, 479, "#1c5664"), opacity=0.7)
    drawn = c.render()
    out = tmp("background-keyed")
    im("-size", f"{WIDTH}x{HEIGHT}", "xc:" + KEY, drawn,
       "(", "-size", f"{WIDTH}x{HEIGHT}", "xc:black", "+antialias", "-fill", "white",
       "-draw", f"roundrectangle 0,0 {WIDTH - 1},{HEIGHT - 1} {CORNER},{CORNER}", ")",
       "-composite", "-alpha", "off", out)
    return out


def separator_line():
    c = Canvas("separator", 620, 2)
    c.add("rectangle 0,0 619,0", c.linear(0, 0, "#00000000", 310, 0, "#000000"), opacity=0.5)
    c.add("rectangle 310,0 619,0", c.linear(310, 0, "#000000", 619, 0, "#00000000"), opacity=0.5)
    c.add("rectangle 0,1 309,1", c.linear(0, 0, "#6fd0df00", 309, 0, "#6fd0df"), opacity=0.45)
    c.add("rectangle 310,1 619,1", c.linear(310, 0, "#6fd0df", 619, 0, "#6fd0df00"), opacity=0.45)
    return c.render()


# ---------------------------------------------------------------------------- the app mark

def app_mark(size, bg=None):
    """The icon: a teal tile with a white arrow into a tray. Drawn in 16-unit space."""
    k = 12 if size <= 18 else 8
    s = size / 16.0
    c = Canvas(f"mark{size}", size, size, k, base=bg)
    u = lambda v: round(v * s, 3)
    tile = f"roundrectangle {u(0.6)},{u(0.6)} {u(15.4)},{u(15.4)} {u(3.2)},{u(3.2)}"
    c.add(tile, c.linear(0, 0, "#46d3e0", size, size, "#0c6577"))
    c.add(f"fill none stroke white stroke-width {u(0.7)} {tile}", c.solid("black"), opacity=0.35)
    c.add(f"roundrectangle {u(1.3)},{u(1.3)} {u(14.7)},{u(7.8)} {u(2.6)},{u(2.6)}",
          c.linear(0, 0, "#ffffff", 0, size / 2, "#ffffff00"), opacity=0.28)
    arrow = (f"rectangle {u(7)},{u(2.6)} {u(9)},{u(7)} "
             f"polygon {u(3.8)},{u(6.5)} {u(12.2)},{u(6.5)} {u(8)},{u(10.7)}")
    tray = (f"rectangle {u(3)},{u(9.2)} {u(5)},{u(13)} rectangle {u(3)},{u(11)} {u(13)},{u(13)} "
            f"rectangle {u(11)},{u(9.2)} {u(13)},{u(13)}")
    c.add(arrow, c.solid("#04303a"), opacity=0.45, blur=0.25)
    c.add(arrow, c.solid("white"))
    c.add(tray, c.solid("white"))
    return c.render()


# ---------------------------------------------------------------------------- the handset

def handset(bg):
    c = Canvas("handset", 216, 360, 2, base=bg)
    # Shadows on the backdrop.
    c.add("ellipse 110,343 78,8 0,360", c.solid("black"), opacity=0.55, blur=5)
    c.add("roundrectangle 38,24 188,338 24,24", c.solid("black"), opacity=0.45, blur=7)
    # Stylus tip, power key and volume rocker showing at the edges.
    c.add("roundrectangle 160,6 170,20 3,3", c.linear(160, 0, "#d5dde2", 170, 0, "#6c777f"))
    c.add("roundrectangle 62,12 86,19 2,2", c.linear(0, 12, "#aab4bb", 0, 19, "#4d565d"))
    c.add("roundrectangle 29,86 36,124 2,2", c.linear(29, 0, "#5c666e", 36, 0, "#b7c0c6"))
    c.add("roundrectangle 180,150 187,168 2,2", c.linear(180, 0, "#b7c0c6", 187, 0, "#5c666e"))
    # Body: graphite with a bright metal rim.
    body = "roundrectangle 33,16 183,334 22,22"
    c.add(body, c.linear(33, 16, "#4b555d", 183, 334, "#111518"))
    c.add(f"fill none stroke white stroke-width 2 {body}",
          c.linear(33, 16, "#d9e2e7", 183, 334, "#5a656d"), opacity=0.9)
    c.add("fill none stroke white stroke-width 1 roundrectangle 35.5,18.5 180.5,331.5 20,20",
          c.solid("black"), opacity=0.6)
    face = "roundrectangle 38,21 178,329 18,18"
    c.add(face, c.linear(0, 21, "#23292e", 0, 329, "#0b0d0f"))
    # Earpiece and front camera.
    c.add("roundrectangle 88,31 128,36 2.5,2.5", c.solid("#030405"))
    c.add("rectangle 90,36.5 126,37", c.solid("white"), opacity=0.12)
    c.add("circle 146,33.5 149,33.5", c.solid("#05080b"))
    c.add("circle 145.3,32.8 146.2,32.8", c.solid("#6f9fc0"), opacity=0.8)
    screen(c)
    keys(c)
    # Glass sheen over the upper face.
    c.add("polygon 40,23 150,23 64,250 40,250", c.linear(40, 23, "#ffffff", 90, 200, "#ffffff00"),
          opacity=0.16)
    c.add("roundrectangle 34,40 37,300 1.5,1.5", c.linear(0, 40, "#ffffff", 0, 300, "#ffffff00"),
          opacity=0.25)
    return c.render()


def screen(c):
    c.add("roundrectangle 45,45 171,216 3,3", c.solid("#020304"))
    c.add("rectangle 48,48 168,213", c.linear(0, 62, "#f5f9fc", 0, 199, "#d3e2ec"))
    # Title bar: caption, signal bars and battery.
    c.add("rectangle 48,48 168,61", c.linear(0, 48, "#2f74c0", 0, 61, "#0f3f7c"))
    c.text(52, 58.5, "Update", "white", 8.5)
    for i, h in enumerate((2, 4, 6, 8)):
        x = 135 + i * 3
        c.add(f"rectangle {x},{58 - h} {x + 1.6},58", c.solid("white"))
    c.add("fill none stroke white stroke-width 0.9 rectangle 150.5,51.5 162.5,57.5",
          c.solid("white"))
    c.add("rectangle 163,53 164.2,56 rectangle 152,53 159,56", c.solid("white"))
    # A download into the phone: arrow in a ring, a progress bar and its caption.
    c.add("circle 108,112 108,83", c.linear(0, 83, "#2aa7bd", 0, 141, "#126f95"))
    c.add("circle 108,112 108,87", c.linear(0, 87, "#ffffff", 0, 112, "#ffffff00"), opacity=0.25)
    c.add("fill none stroke white stroke-width 1.4 circle 108,112 108,83", c.solid("#0d5872"),
          opacity=0.35)
    c.add("rectangle 103,95 113,113 polygon 94,110 122,110 108,126", c.solid("white"))
    c.add("fill none stroke white stroke-width 2.4 stroke-linejoin round "
          "polyline 93,121 93,130 123,130 123,121", c.solid("white"))
    c.text(108 - 29, 161, "Updating ROM", "#163a56", 8.5)
    # The track shows activity, not an amount: no fill and no figure that could contradict
    # the window's own progress (the picture is on every page, the notice and the finish too).
    c.add("roundrectangle 62,168 154,176 4,4", c.solid("#b5c8d6"))
    c.add("circle 96,172 96,169.5 circle 108,172 108,169.5 circle 120,172 120,169.5", c.solid("#1f9fb9"))
    # Soft-key bar.
    c.add("rectangle 48,200 168,213", c.linear(0, 200, "#3a434c", 0, 213, "#171b20"))
    c.add("rectangle 108,202 108.6,211", c.solid("white"), opacity=0.25)
    c.text(57, 210, "Menu", "white", 7.5, REGULAR, opacity=0.6)
    c.text(140, 210, "Hide", "white", 7.5, REGULAR, opacity=0.6)


def keys(c):
    # Two soft keys above the navigation pad.
    for x in (52, 130):
        c.add(f"roundrectangle {x},228 {x + 34},235 3.5,3.5",
              c.linear(0, 228, "#3c444b", 0, 235, "#15191c"))
        c.add(f"rectangle {x + 4},228.6 {x + 30},229.2", c.solid("white"), opacity=0.25)
    # Call and end keys.
    for x, colour, y0, y1 in ((48, "#3fcf6a", 270, 276), (138, "#ef4d4d", 276, 270)):
        c.add(f"roundrectangle {x},262 {x + 30},284 8,8",
              c.linear(0, 262, "#333b42", 0, 284, "#101316"))
        c.add(f"fill none stroke white stroke-width 0.8 roundrectangle {x},262 {x + 30},284 8,8",
              c.linear(0, 262, "#8d989f", 0, 284, "#22282d"), opacity=0.8)
        # A handset: a bow with a round cup at each end (lifted for call, hung up for end).
        x0, x1 = x + 8, x + 22
        bow = " ".join(f"{x0 + 14 * t / 8:.2f},{y0 + (y1 - y0) * 4 * (t / 8) * (1 - t / 8):.2f}"
                       for t in range(9))
        c.add(f"fill none stroke white stroke-width 1.8 stroke-linecap round stroke-linejoin round "
              f"polyline {bow} "
              f"fill white stroke none ellipse {x0},{y0} 2.4,1.7 0,360 "
              f"ellipse {x1},{y0} 2.4,1.7 0,360",
              c.solid(colour))
    # Navigation pad: metal ring around a dark OK key.
    c.add("circle 108,273 108,245", c.linear(0, 245, "#e3eaee", 0, 301, "#505a62"))
    c.add("circle 108,273 108,247.5", c.linear(0, 247, "#3a434a", 0, 299, "#0f1214"))
    c.add("circle 108,273 108,260", c.linear(0, 260, "#c5ced4", 0, 286, "#59636b"))
    c.add("circle 108,273 108,261.5", c.linear(0, 261, "#2b3237", 0, 285, "#0c0f11"))
    for poly in ("104,252 112,252 108,248", "104,294 112,294 108,298",
                 "87,269 87,277 83,273", "129,269 129,277 133,273"):
        c.add(f"polygon {poly}", c.solid("#9aa6ae"), opacity=0.8)
    c.add("ellipse 108,266 8,3 0,360", c.solid("white"), opacity=0.12)
    # Microphone.
    c.add("roundrectangle 104,313 112,315 1,1", c.solid("#030405"))


# ---------------------------------------------------------------------------- controls

def close_button(bg, lit):
    c = Canvas("close", 34, 34, 4, base=bg)
    if lit:
        c.add("circle 17,17 17,3.5", c.linear(0, 3, "#f0626a", 0, 31, "#b3232d"))
        c.add("fill none stroke white stroke-width 1 circle 17,17 17,3.5", c.solid("#ff9da2"),
              opacity=0.7)
    else:
        c.add("circle 17,17 17,3.5", c.solid("white"), opacity=0.07)
        c.add("fill none stroke white stroke-width 1 circle 17,17 17,3.5", c.solid("#8fd2df"),
              opacity=0.35)
    c.add("fill none stroke white stroke-width 2.2 stroke-linecap round "
          "line 12.5,12.5 21.5,21.5 line 21.5,12.5 12.5,21.5",
          c.solid("white" if lit else "#d3e6ec"))
    return c.render()


def next_button(bg, lit):
    c = Canvas("next", 130, 42, 4, base=bg)
    shape = "roundrectangle 1,1 129,41 8,8"
    c.add("roundrectangle 1,2.5 129,42 8,8", c.solid("black"), opacity=0.45, blur=1)
    if lit:
        c.add(shape, c.linear(0, 1, "#2696aa", 0, 41, "#0e5e6e"))
    else:
        c.add(shape, c.linear(0, 1, "#1b7f92", 0, 41, "#0b4e5d"))
    c.add("roundrectangle 2,2 128,21 7,7", c.linear(0, 2, "#ffffff", 0, 21, "#ffffff00"),
          opacity=0.22 if lit else 0.16)
    c.add(f"fill none stroke white stroke-width 1 {shape}",
          c.linear(0, 1, "#9eeaf3" if lit else "#5fc0cf", 0, 41, "#0a3c47"), opacity=0.9)
    return c.render()


def tick_box(bg, ticked):
    c = Canvas("accept", 20, 20, 4, base=bg)
    box = "roundrectangle 2,2 18,18 3.5,3.5"
    if ticked:
        c.add(box, c.linear(0, 2, "#34bccd", 0, 18, "#107283"))
        c.add(f"fill none stroke white stroke-width 1 {box}", c.solid("#9ae6ef"), opacity=0.8)
        c.add("fill none stroke white stroke-width 2.2 stroke-linecap round stroke-linejoin round "
              "polyline 5.8,10.4 8.8,13.4 14.4,6.8", c.solid("white"))
    else:
        c.add(box, c.solid("black"), opacity=0.3)
        c.add(f"fill none stroke white stroke-width 1.4 {box}", c.solid("#a9d9e3"), opacity=0.85)
    return c.render()


def mark(bg, passed):
    c = Canvas("mark", 20, 20, 4, base=bg)
    if passed:
        c.add("circle 10,10 10,1.5", c.linear(0, 1, "#4cd07c", 0, 19, "#1b8a43"))
        glyph = "polyline 5.6,10.3 8.6,13.2 14.4,7"
    else:
        c.add("circle 10,10 10,1.5", c.linear(0, 1, "#f06262", 0, 19, "#b02424"))
        glyph = "line 6.6,6.6 13.4,13.4 line 13.4,6.6 6.6,13.4"
    c.add("fill none stroke white stroke-width 1 circle 10,10 10,1.5", c.solid("white"),
          opacity=0.3)
    c.add("fill none stroke white stroke-width 2.3 stroke-linecap round stroke-linejoin round "
          + glyph, c.solid("white"))
    return c.render()


def progress_track(bg):
    c = Canvas("track", 372, 14, 4, base=bg)
    track = "roundrectangle 0.5,0.5 371.5,13.5 6.5,6.5"
    c.add(track, c.linear(0, 0, "#01070c", 0, 14, "#06202b"), opacity=0.85)
    for i in range(1, 10):
        x = 0.5 + 37.1 * i
        c.add(f"rectangle {x},4 {x + 0.7},10", c.solid("#6fc8d8"), opacity=0.18)
    c.add(f"fill none stroke white stroke-width 1 {track}",
          c.linear(0, 0, "#0b2733", 0, 14, "#5fb6c6"), opacity=0.6)
    return c.render()


def badge(bg):
    c = Canvas("badge", 104, 22, 4, base=bg)
    c.picture(app_mark(18), 1, 2)
    c.text(25, 15.5, "VELTRANE", "#dcecf1", 11, BOLD, kerning=1.3)
    return c.render()


# ---------------------------------------------------------------------------- output

def save_png(src, path):
    im(src, *PNG_OUT, "PNG24:" + path)


def save_icon(path):
    im(*(app_mark(size) for size in (16, 32, 48)), path)


def preview(out_dir):
    """The notice page as the window composes it (without its texts), then every image."""
    png = lambda number: os.path.join(out_dir, f"{number}.png")
    page = [png(177), "-fill", "#30363b", "-opaque", KEY]
    for number in (179, 180, 181, 183, 184, 185, 206):
        x, y = PLACES[number][:2]
        page += [png(number), "-geometry", f"+{x}+{y}", "-composite"]
    rows = []
    for numbers in ((181, 182, 184, 190, 191, 206, 207, 179, 185, 186), (183, 209)):
        tiles = []
        for number in numbers:
            tiles += ["-label", str(number), png(number)]
        rows.append(tmp("tiles"))
        subprocess.run(["montage", "-background", "#30363b", "-fill", "#e8eef1", "-font", REGULAR,
                        "-pointsize", "11", "-geometry", "+7+4", "-tile", "x1", *tiles, rows[-1]],
                       check=True, env=ENV)
    im("-background", "#30363b", "(", *page, ")", *rows, "-gravity", "center", "-append",
       "-bordercolor", "#30363b", "-border", "10", *PNG_OUT,
       "PNG24:" + os.path.join(out_dir, "preview.png"))


def main():
    out_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(__file__))
    os.makedirs(out_dir, exist_ok=True)
    global WORK
    WORK = tempfile.mkdtemp(prefix="veltrane-art-")
    try:
        bg = background()
        pieces = {n: crop(bg, *place) for n, place in PLACES.items()}
        drawn = {
            177: bg, 179: badge(pieces[179]), 180: handset(pieces[180]),
            181: close_button(pieces[181], False), 182: close_button(pieces[182], True),
            183: pieces[183],
            184: app_mark(16, pieces[184]),
            185: next_button(pieces[185], False), 186: next_button(pieces[186], True),
            190: mark(pieces[190], True), 191: mark(pieces[191], False),
            206: tick_box(pieces[206], False), 207: tick_box(pieces[207], True),
            209: progress_track(pieces[209]),
        }
        for number, src in drawn.items():
            save_png(src, os.path.join(out_dir, f"{number}.png"))
        save_icon(os.path.join(out_dir, "veltrane.ico"))
        preview(out_dir)
        version = subprocess.run([CONVERT, "-version"], check=True, env=ENV, capture_output=True,
                                 text=True).stdout.splitlines()[0]
        with open(os.path.join(out_dir, "imagemagick-version.txt"), "w") as f:
            f.write(version + "\n")
    finally:
        shutil.rmtree(WORK, ignore_errors=True)


if __name__ == "__main__":
    main()
