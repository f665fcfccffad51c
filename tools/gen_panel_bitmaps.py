#!/usr/bin/env python3
"""Draws the editor's eighteen bitmaps into resources/bitmap-<id>.bmp.

128 panel, 129 bitmap font, 130 logo picture, 131 badge (24 bits), 132-135 lamps,
136-137 knob handles, 138 pickup slider handle, 139 string overlay, 140-143 step buttons,
144-145 two-state switches. Every file is an uncompressed bottom-up BMP with a 40-byte info
header; all but 131 are 8 bits per pixel with a 256-entry palette. Magenta (255, 0, 255) is
the transparent colour: it appears only where a picture is drawn transparent (handles,
slider handle, overlay) and never as an opaque pixel.

Every picture is drawn three times: at 1x (bitmap-<id>.bmp) and natively at 2x and 3x
(bitmap-<id>@2x.bmp, @3x) for high-density screens. All coordinates below are panel pixels;
the painting helpers measure shapes, texts and textures in device pixels at the factor S, so
the larger sets are drawn, not enlarged. Edges keep a one-device-pixel ramp at every factor.

Needs Pillow and the DejaVu fonts (Debian: python3-pil, fonts-dejavu-core). Deterministic:
textures come from fixed seeds and the palettes from a median cut without dithering, so the
same Pillow and fonts give the same bytes on every run.

Usage: gen_panel_bitmaps.py [output-dir]   (default: resources/ beside this tools/ folder)
"""

import functools
import math
import os
import random
import struct
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import panel_layout as L  # noqa: E402

FONT_DIR = "/usr/share/fonts/truetype/dejavu"
MAGENTA = (255, 0, 255)

TOLEX = (27, 26, 25)
CREAM = (238, 228, 204)
AMBER = (240, 172, 72)
INK = (30, 22, 14)
LCD_BG = (22, 15, 9)
LCD_FG = (255, 182, 74)
SOCKET = (12, 11, 10)      # ring around every lamp, shared by the panel and the lamp bitmaps
RECESS = (8, 8, 8)         # frame behind the step buttons and switches, shared likewise

# Device pixels per panel pixel of the pictures being drawn: 1, 2 or 3 (set by main).
S = 1


def new_image(size, colour=(0, 0, 0), mode="RGB"):
    """A picture covering size panel pixels, at the current factor."""
    return Image.new(mode, (size[0] * S, size[1] * S), colour)


def at(v, origin=0):
    """Index into a device-pixel texture whose top-left is panel pixel origin."""
    return int(v * S) - origin * S


class Draw:
    """Axis-aligned one-pixel lines and filled rectangles in panel pixels, corners included,
    as ImageDraw draws them at 1x: at larger factors each panel pixel is S x S."""

    def __init__(self, img):
        self.draw = ImageDraw.Draw(img)

    def rectangle(self, box, fill):
        if S == 1:
            self.draw.rectangle(box, fill=fill)
            return
        x0, y0, x1, y1 = (int(round(v)) for v in box)
        self.draw.rectangle((min(x0, x1) * S, min(y0, y1) * S, (max(x0, x1) + 1) * S - 1,
                             (max(y0, y1) + 1) * S - 1), fill=fill)

    def line(self, box, fill):
        if S == 1:
            self.draw.line(box, fill=fill)
            return
        self.rectangle(box, fill)


def block(px, x, y, colour):
    """One panel pixel of pixel art: S x S device pixels."""
    for dy in range(S):
        for dx in range(S):
            px[x * S + dx, y * S + dy] = colour


# Colours that must keep their exact value through the palette reduction, because pictures
# drawn over the panel have to meet it without a seam.
EXACT = (LCD_BG, SOCKET, RECESS)
# The strings, which the overlay picture redraws over the panel beyond the slider's reach. At
# 1x the panel's palette happens to keep them; the larger sets hold them exact on purpose.
STRING_COLOURS = ((190, 181, 164), (224, 215, 196), (104, 97, 86), (126, 118, 104),
                  (236, 236, 240), (214, 214, 220))

# 5 x 7 glyphs (8 rows with the descender row), '#' lit. Rows left out are blank.
PIXEL_FONT = {
    " ": "",
    "!": "..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#..",
    '"': ".#.#. .#.#. .#.#.",
    "#": ".#.#. .#.#. ##### .#.#. ##### .#.#. .#.#.",
    "$": "..#.. .#### #.#.. .###. ..#.# ####. ..#..",
    "%": "##... ##..# ...#. ..#.. .#... #..## ...##",
    "&": ".##.. #..#. #.#.. .#... #.#.# #..#. .##.#",
    "'": "..#.. ..#.. .#...",
    "(": "...#. ..#.. .#... .#... .#... ..#.. ...#.",
    ")": ".#... ..#.. ...#. ...#. ...#. ..#.. .#...",
    "*": "..... ..#.. #.#.# .###. #.#.# ..#..",
    "+": "..... ..#.. ..#.. ##### ..#.. ..#..",
    ",": "..... ..... ..... ..... ..... .##.. ..#.. .#...",
    "-": "..... ..... ..... #####",
    ".": "..... ..... ..... ..... ..... .##.. .##..",
    "/": "..... ....# ...#. ..#.. .#... #....",
    "0": ".###. #...# #..## #.#.# ##..# #...# .###.",
    "1": "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###.",
    "2": ".###. #...# ....# ...#. ..#.. .#... #####",
    "3": "##### ...#. ..#.. ...#. ....# #...# .###.",
    "4": "...#. ..##. .#.#. #..#. ##### ...#. ...#.",
    "5": "##### #.... ####. ....# ....# #...# .###.",
    "6": "..##. .#... #.... ####. #...# #...# .###.",
    "7": "##### ....# ...#. ..#.. .#... .#... .#...",
    "8": ".###. #...# #...# .###. #...# #...# .###.",
    "9": ".###. #...# #...# .#### ....# ...#. .##..",
    ":": "..... .##.. .##.. ..... .##.. .##..",
    ";": "..... .##.. .##.. ..... .##.. .##.. ..#.. .#...",
    "<": "...#. ..#.. .#... #.... .#... ..#.. ...#.",
    "=": "..... ..... ##### ..... #####",
    ">": ".#... ..#.. ...#. ....# ...#. ..#.. .#...",
    "?": ".###. #...# ....# ...#. ..#.. ..... ..#..",
    "@": ".###. #...# #.### #.#.# #.### #.... .###.",
    "A": ".###. #...# #...# ##### #...# #...# #...#",
    "B": "####. #...# #...# ####. #...# #...# ####.",
    "C": ".###. #...# #.... #.... #.... #...# .###.",
    "D": "###.. #..#. #...# #...# #...# #..#. ###..",
    "E": "##### #.... #.... ####. #.... #.... #####",
    "F": "##### #.... #.... ####. #.... #.... #....",
    "G": ".###. #...# #.... #.### #...# #...# .####",
    "H": "#...# #...# #...# ##### #...# #...# #...#",
    "I": ".###. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",
    "J": "..### ...#. ...#. ...#. ...#. #..#. .##..",
    "K": "#...# #..#. #.#.. ##... #.#.. #..#. #...#",
    "L": "#.... #.... #.... #.... #.... #.... #####",
    "M": "#...# ##.## #.#.# #.#.# #...# #...# #...#",
    "N": "#...# #...# ##..# #.#.# #..## #...# #...#",
    "O": ".###. #...# #...# #...# #...# #...# .###.",
    "P": "####. #...# #...# ####. #.... #.... #....",
    "Q": ".###. #...# #...# #...# #.#.# #..#. .##.#",
    "R": "####. #...# #...# ####. #.#.. #..#. #...#",
    "S": ".#### #.... #.... .###. ....# ....# ####.",
    "T": "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",
    "U": "#...# #...# #...# #...# #...# #...# .###.",
    "V": "#...# #...# #...# #...# #...# .#.#. ..#..",
    "W": "#...# #...# #...# #.#.# #.#.# #.#.# .#.#.",
    "X": "#...# #...# .#.#. ..#.. .#.#. #...# #...#",
    "Y": "#...# #...# #...# .#.#. ..#.. ..#.. ..#..",
    "Z": "##### ....# ...#. ..#.. .#... #.... #####",
    "[": ".###. .#... .#... .#... .#... .#... .###.",
    "\\": "..... #.... .#... ..#.. ...#. ....#",
    "]": ".###. ...#. ...#. ...#. ...#. ...#. .###.",
    "^": "..#.. .#.#. #...#",
    "_": "..... ..... ..... ..... ..... ..... ..... #####",
    "`": ".#... ..#.. ...#.",
    "a": "..... ..... .###. ....# .#### #...# .####",
    "b": "#.... #.... #.##. ##..# #...# #...# ####.",
    "c": "..... ..... .###. #.... #.... #...# .###.",
    "d": "....# ....# .##.# #..## #...# #...# .####",
    "e": "..... ..... .###. #...# ##### #.... .###.",
    "f": "..##. .#..# .#... ###.. .#... .#... .#...",
    "g": "..... ..... .#### #...# #...# .#### ....# .###.",
    "h": "#.... #.... #.##. ##..# #...# #...# #...#",
    "i": "..#.. ..... .##.. ..#.. ..#.. ..#.. .###.",
    "j": "...#. ..... ..##. ...#. ...#. ...#. #..#. .##..",
    "k": "#.... #.... #..#. #.#.. ##... #.#.. #..#.",
    "l": ".##.. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",
    "m": "..... ..... ##.#. #.#.# #.#.# #.#.# #.#.#",
    "n": "..... ..... #.##. ##..# #...# #...# #...#",
    "o": "..... ..... .###. #...# #...# #...# .###.",
    "p": "..... ..... ####. #...# #...# ####. #.... #....",
    "q": "..... ..... .#### #...# #...# .#### ....# ....#",
    "r": "..... ..... #.##. ##..# #.... #.... #....",
    "s": "..... ..... .###. #.... .###. ....# ####.",
    "t": ".#... .#... ###.. .#... .#... .#..# ..##.",
    "u": "..... ..... #...# #...# #...# #..## .##.#",
    "v": "..... ..... #...# #...# #...# .#.#. ..#..",
    "w": "..... ..... #...# #...# #.#.# #.#.# .#.#.",
    "x": "..... ..... #...# .#.#. ..#.. .#.#. #...#",
    "y": "..... ..... #...# #...# #...# .#### ....# .###.",
    "z": "..... ..... ##### ...#. ..#.. .#... #####",
    "{": "...#. ..#.. ..#.. .#... ..#.. ..#.. ...#.",
    "|": "..#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",
    "}": ".#... ..#.. ..#.. ...#. ..#.. ..#.. .#...",
    "~": "..... ..... .#... #.#.# ...#.",
    "\x7f": "#.#.# .#.#. #.#.# .#.#. #.#.# .#.#. #.#.#",
}


def glyph_pixels(ch):
    """Lit (x, y) pixels of a glyph in its 5 x 8 box."""
    rows = PIXEL_FONT[ch].split()
    return [(x, y) for y, row in enumerate(rows) for x, c in enumerate(row) if c == "#"]


def pixel_text_width(text):
    width = 0
    for ch in text:
        cols = [x for x, _ in glyph_pixels(ch)] or [1]
        width += max(cols) - min(cols) + 2 if ch != " " else 3
    return width - 1


def draw_pixel_text(img, x, y, text, colour):
    """Proportional use of the pixel font: each glyph trimmed to its ink, one pixel apart."""
    px = img.load()
    for ch in text:
        pixels = glyph_pixels(ch)
        if not pixels:
            x += 3
            continue
        left = min(p[0] for p in pixels)
        for gx, gy in pixels:
            block(px, x + gx - left, y + gy, colour)
        x += max(p[0] for p in pixels) - left + 2


# ---------------------------------------------------------------------------------------------
# Writing BMP files

def quantise(img):
    """Palette (up to 256 colours, magenta last) and per-pixel indices of an RGB picture.

    Opaque colours are reduced by a median cut without dithering, except those of EXACT,
    which keep entries of their own. Magenta pixels, and only they, take entry 255.
    """
    pixels = list(img.getdata())
    opaque = [p for p in pixels if p != MAGENTA]
    exact = sorted(set(opaque) & set(EXACT + (STRING_COLOURS if S > 1 else ())))
    rest = [p for p in opaque if p not in exact]
    budget = 255 - len(exact)
    distinct = sorted(set(rest))
    if len(distinct) <= budget:
        palette = distinct
        rest_index = {c: i for i, c in enumerate(distinct)}
        rest_indices = [rest_index[p] for p in rest]
    else:
        strip = Image.new("RGB", (len(rest), 1))
        strip.putdata(rest)
        reduced = strip.quantize(colors=budget, method=Image.Quantize.MEDIANCUT,
                                 dither=Image.Dither.NONE)
        flat = reduced.getpalette()
        used = sorted(set(reduced.getdata()))
        renumber = {old: new for new, old in enumerate(used)}
        palette = [tuple(flat[3 * i:3 * i + 3]) for i in used]
        rest_indices = [renumber[i] for i in reduced.getdata()]
    palette = [c if c != MAGENTA else (254, 0, 254) for c in palette]
    exact_index = {c: len(palette) + i for i, c in enumerate(exact)}
    palette += exact
    palette += [(0, 0, 0)] * (255 - len(palette)) + [MAGENTA]
    it = iter(rest_indices)
    indices = bytes(255 if p == MAGENTA else exact_index[p] if p in exact_index else next(it)
                    for p in pixels)
    return palette, indices


def write_bmp(path, img, bits):
    width, height = img.size
    if bits == 8:
        palette, indices = quantise(img)
        rows = [indices[y * width:(y + 1) * width] for y in range(height)]
        colour_table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    else:
        raw = img.tobytes("raw", "BGR")
        rows = [raw[y * width * 3:(y + 1) * width * 3] for y in range(height)]
        colour_table = b""
    stride = (width * bits // 8 + 3) & ~3
    data = b"".join(row + bytes(stride - len(row)) for row in reversed(rows))
    offset = 14 + 40 + len(colour_table)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data),
                              2835, 2835, 256 if bits == 8 else 0, 0)
    with open(path, "wb") as f:
        f.write(file_header + info_header + colour_table + data)


# ---------------------------------------------------------------------------------------------
# Painting helpers: coverage is measured at pixel centres, so edges are smooth without
# supersampling and shapes stay where their coordinates say.

def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def scale(c, f):
    return tuple(max(0, min(255, int(round(v * f)))) for v in c)


def paint(img, box, coverage, colour):
    """Blends colour (a tuple or a function of x, y) by coverage(x, y) over box. Both are
    asked at the centre of each device pixel, in panel coordinates."""
    px = img.load()
    w, h = img.size
    x0, y0, x1, y1 = (max(0, int(math.floor(box[0] * S))), max(0, int(math.floor(box[1] * S))),
                      min(w, int(math.ceil(box[2] * S))), min(h, int(math.ceil(box[3] * S))))
    solid = not callable(colour)
    for y in range(y0, y1):
        for x in range(x0, x1):
            c = coverage((x + 0.5) / S, (y + 0.5) / S)
            if c <= 0.0:
                continue
            col = colour if solid else colour((x + 0.5) / S, (y + 0.5) / S)
            under = px[x, y]
            if under == MAGENTA:
                # never blend with the transparent colour: an edge is in or out
                if c >= 0.5:
                    px[x, y] = col
            else:
                px[x, y] = col if c >= 1.0 else mix(under, col, c)


# The coverage functions ramp across one device pixel: (distance inside + half a device pixel)
# in device pixels.
def disc(cx, cy, r):
    return lambda x, y: clamp01((r + 0.5 / S - math.hypot(x - cx, y - cy)) * S)


def ring(cx, cy, r_out, r_in):
    return lambda x, y: clamp01(min((r_out + 0.5 / S - math.hypot(x - cx, y - cy)) * S,
                                    (math.hypot(x - cx, y - cy) - r_in + 0.5 / S) * S))


def segment(x0, y0, x1, y1, width):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy or 1e-9

    def cov(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        return clamp01((width / 2 + 0.5 / S - math.hypot(x - x0 - t * dx, y - y0 - t * dy)) * S)
    return cov


def round_rect(left, top, right, bottom, radius):
    """Coverage of a rectangle with rounded corners (edges on pixel boundaries)."""
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius

    def cov(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - radius
        return clamp01((0.5 / S - outside) * S)
    return cov


def polygon_cov(points):
    """Coverage of a polygon from the signed distance to its nearest edge."""
    edges = list(zip(points, points[1:] + points[:1]))

    def cov(x, y):
        inside = False
        best = 1e9
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
            best = min(best, math.hypot(x - ax - t * dx, y - ay - t * dy))
        return clamp01((0.5 / S + (best if inside else -best)) * S)
    return cov


def diagonal(cx, cy, light, dark, spread):
    """Colour function of a surface lit from the top left, across spread pixels."""
    return lambda x, y: mix(light, dark, clamp01((x - cx + y - cy) / spread + 0.5))


def radial(cx, cy, inner, outer, radius):
    return lambda x, y: mix(inner, outer, clamp01(math.hypot(x - cx, y - cy) / radius))


def vertical_gradient(stops):
    """Colour function of y through (y, colour) stops."""
    def colour(x, y):
        if y <= stops[0][0]:
            return stops[0][1]
        for (y0, c0), (y1, c1) in zip(stops, stops[1:]):
            if y <= y1:
                return mix(c0, c1, (y - y0) / (y1 - y0))
        return stops[-1][1]
    return colour


def noise(size, cell, seed, smooth=Image.BICUBIC):
    """Smooth value noise 0..255 as an 'L' image of size panel pixels (in device pixels); cell
    is the feature size (w, h) in panel pixels. The same seed gives the same features at
    every factor."""
    return device_noise((size[0] * S, size[1] * S), cell, seed, smooth)


def device_noise(size, cell, seed, smooth=Image.BICUBIC):
    """As noise, for a size already in device pixels."""
    w, h = size
    gw, gh = w // (cell[0] * S) + 3, h // (cell[1] * S) + 3
    cw, ch = cell[0] * S, cell[1] * S
    rng = random.Random(seed)
    coarse = Image.new("L", (gw, gh))
    coarse.putdata([rng.randrange(256) for _ in range(gw * gh)])
    big = coarse.resize((gw * cw, gh * ch), smooth)
    return big.crop((cw, ch, cw + w, ch + h))


def modulate(img, box, field, depth):
    """Multiplies the pixels in box (panel pixels) by 1 + depth * (field - 0.5), field an 'L'
    image of the box's device size."""
    px = img.load()
    fp = field.load()
    x0, y0, x1, y1 = (v * S for v in box)
    for y in range(y0, y1):
        for x in range(x0, x1):
            f = 1.0 + depth * (fp[x - x0, y - y0] / 255.0 - 0.5)
            px[x, y] = scale(px[x, y], f)


def font(size, bold=True, serif=False):
    """The face at size panel pixels: S times as many device pixels, hinted at that size."""
    return device_font(size * S, bold, serif)


@functools.lru_cache(maxsize=None)
def device_font(size, bold, serif):
    name = ("DejaVuSerif" if serif else "DejaVuSans") + ("-Bold" if bold else "")
    return ImageFont.truetype(os.path.join(FONT_DIR, name + ".ttf"), size)


LABEL_SIZE = 8      # hinted DejaVu Sans Bold stays crisp at this size
HEADING_SIZE = 9


def text_width(text, fnt, tracking=0):
    """In panel pixels."""
    return fnt.getlength(text) / S + tracking * (len(text) - 1)


def draw_text(img, x, baseline, text, colour, fnt, tracking=0, anchor="l", shadow=None):
    """Text on a baseline; anchor l, m or r; tracking adds pixels between letters."""
    width = text_width(text, fnt, tracking)
    if anchor == "m":
        x -= width / 2
    elif anchor == "r":
        x -= width
    x = int(round(x))
    draw = ImageDraw.Draw(img)
    for dx, dy, col in ([(S, S, shadow)] if shadow else []) + [(0, 0, colour)]:
        if tracking == 0:
            draw.text((x * S + dx, baseline * S + dy), text, font=fnt, fill=col, anchor="ls")
            continue
        pos = float(x * S)
        for ch in text:
            draw.text((int(round(pos)) + dx, baseline * S + dy), ch, font=fnt, fill=col,
                      anchor="ls")
            pos += fnt.getlength(ch) + tracking * S
    return width


def fit_label(img, x, baseline, text, colour, room, anchor="l", shadow=None):
    """A label in the label font, drawn one pixel tighter per letter if it would overflow."""
    fnt = font(LABEL_SIZE)
    tracking = 0 if text_width(text, fnt) <= room else -1
    return draw_text(img, x, baseline, text, colour, fnt, tracking, anchor, shadow)


# ---------------------------------------------------------------------------------------------
# Surfaces

def tolex(img, box, seed):
    """Black pebbled vinyl of an amplifier cabinet."""
    x0, y0, x1, y1 = box
    Draw(img).rectangle((x0, y0, x1 - 1, y1 - 1), fill=TOLEX)
    rng = random.Random(seed)
    w, h = (x1 - x0) * S, (y1 - y0) * S
    grain = Image.new("L", (w, h))
    grain.putdata([rng.randrange(256) for _ in range(w * h)])
    grain = grain.filter(ImageFilter.GaussianBlur(0.9 * S))
    grain = grain.point(lambda v: max(0, min(255, (v - 128) * 5 + 128)))
    modulate(img, box, grain, 0.42)
    modulate(img, box, noise((x1 - x0, y1 - y0), (40, 40), seed + 1), 0.16)


def brushed_plate(img, box, base, seed, radius=3):
    """Brushed metal faceplate with a bevelled edge."""
    x0, y0, x1, y1 = box
    logical = (x1 - x0, y1 - y0)
    plate = new_image(logical, base)
    size = plate.size
    full = (0, 0) + logical
    modulate(plate, full, noise(logical, (60, 1), seed, Image.BILINEAR), 0.20)
    modulate(plate, full, noise(logical, (7, 1), seed + 1, Image.BILINEAR), 0.10)
    modulate(plate, full, noise(logical, (180, 60), seed + 2), 0.12)
    pp = plate.load()
    for y in range(size[1]):
        f = 1.06 - 0.16 * y / size[1]
        for x in range(size[0]):
            pp[x, y] = scale(pp[x, y], f)
    # dark outline, bright top edge, shaded bottom edge
    paint(img, box, round_rect(x0, y0, x1, y1, radius), (10, 9, 8))
    paint(img, box, round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, radius - 1),
          lambda x, y: mix(scale(base, 1.25), scale(base, 0.45), (y - y0) / (y1 - y0)))
    paint(img, box, round_rect(x0 + 2, y0 + 2, x1 - 2, y1 - 2, max(radius - 2, 0)),
          lambda x, y: pp[at(x, x0), at(y, y0)])


def piping(img, y, x0=0, x1=None):
    """A thin cream piping line between two sections."""
    x1 = L.PANEL_SIZE[0] if x1 is None else x1
    d = Draw(img)
    d.line((x0, y, x1 - 1, y), fill=(214, 200, 168))
    d.line((x0, y + 1, x1 - 1, y + 1), fill=(150, 136, 110))


def screw(img, cx, cy, angle):
    paint(img, (cx - 5, cy - 5, cx + 5, cy + 5), disc(cx + 0.4, cy + 0.6, 3.4), (40, 34, 26))
    paint(img, (cx - 5, cy - 5, cx + 5, cy + 5), disc(cx, cy, 3.0),
          diagonal(cx, cy, (238, 236, 230), (96, 94, 90), 6))
    dx, dy = 2.4 * math.cos(angle), 2.4 * math.sin(angle)
    paint(img, (cx - 4, cy - 4, cx + 4, cy + 4), segment(cx - dx, cy - dy, cx + dx, cy + dy, 0.9),
          (50, 48, 44))


def wood(size, seed):
    """Maple top under a cherry sunburst, grain running along the strings; size in device
    pixels."""
    w, h = size
    img = Image.new("RGB", size)
    px = img.load()
    rings = device_noise(size, (90, 7), seed).load()
    fine = device_noise(size, (26, 2), seed + 1, Image.BILINEAR).load()
    ramp = [(0.0, (226, 146, 58)), (0.42, (206, 112, 36)), (0.68, (146, 46, 16)),
            (0.9, (62, 18, 6)), (1.2, (22, 8, 4))]
    cx, cy = w * 0.56, h * 0.56
    for y in range(h):
        for x in range(w):
            t = math.hypot((x - cx) / (w * 0.56), (y - cy) / (h * 0.62))
            for (t0, c0), (t1, c1) in zip(ramp, ramp[1:]):
                if t <= t1:
                    col = mix(c0, c1, clamp01((t - t0) / (t1 - t0)))
                    break
            else:
                col = ramp[-1][1]
            band = (rings[x, y] / 255.0 * 9.0) % 1.0
            band = abs(2.0 * band - 1.0)
            f = 0.86 + 0.16 * band + 0.08 * (fine[x, y] / 255.0 - 0.5)
            px[x, y] = scale(col, f)
    return img


def grille_cloth(img, box):
    """Basket-weave speaker cloth: dark with gold threads."""
    x0, y0, x1, y1 = (v * S for v in box)
    px = img.load()
    shade = noise((box[2] - box[0], box[3] - box[1]), (50, 30), 77).load()
    light, dark = (168, 140, 92), (34, 27, 20)
    for y in range(y0, y1):
        for x in range(x0, x1):
            lx, ly = (x - x0) // S, (y - y0) // S    # the thread a device pixel lies on
            weave = (lx // 4 + ly // 4) % 2
            along = ly % 4 if weave else lx % 4
            t = (0.15, 0.85, 0.6, 0.05)[along]
            f = 0.8 + 0.4 * shade[x - x0, y - y0] / 255.0
            px[x, y] = scale(mix(dark, light, t), f)


# ---------------------------------------------------------------------------------------------
# Panel furniture

def knob_centre(rect):
    """Centre of the handle's orbit and its radius, as the knob widget computes them."""
    left, top, right, _ = rect
    r = (right - left) / 2
    return left + r + 0.5, top + r + 0.5, r - 5


def knob_body(img, rect, tick_colour, cap):
    """A dark knob with a metal cap; the handle dot runs on the dark ring between them."""
    cx, cy, orbit = knob_centre(rect)
    body = orbit + 3.5
    cap_r = orbit - 3.0
    box = (cx - body - 6, cy - body - 6, cx + body + 6, cy + body + 6)
    small = orbit < 10
    count = 6 if small else 11
    for k in range(count):
        a = math.radians(225 - 270 * k / (count - 1))
        major = k in (0, count - 1) or (not small and k == (count - 1) // 2)
        r0, r1 = body + 1.6, body + (3.6 if major else 2.8)
        paint(img, box, segment(cx + r0 * math.cos(a), cy - r0 * math.sin(a),
                                cx + r1 * math.cos(a), cy - r1 * math.sin(a),
                                1.1 if major else 0.8), tick_colour)
    shadow = disc(cx + 0.8, cy + 1.6, body + 0.8)
    paint(img, box, lambda x, y: 0.55 * shadow(x, y), (0, 0, 0))

    def skirt(x, y):
        dx, dy = x - cx, y - cy
        lit = clamp01(0.5 - (dx + dy) / (2.8 * body))
        col = mix((12, 12, 13), (64, 64, 68), lit * lit)
        r = math.hypot(dx, dy)
        if r > body - 1.6:
            col = scale(col, 1.0 + 0.35 * math.sin(math.atan2(dy, dx) * 24))
        return col
    paint(img, box, disc(cx, cy, body), skirt)
    paint(img, box, ring(cx, cy, body, body - 0.9),
          diagonal(cx, cy, (120, 120, 124), (30, 30, 32), 2 * body))

    def cap_colour(x, y):
        dx, dy = x - cx, y - cy
        t = clamp01(0.5 + (dx + dy) / (2.6 * cap_r))
        col = mix(scale(cap, 1.35), scale(cap, 0.55), t)
        spin = 1.0 + 0.03 * math.sin(math.hypot(dx, dy) * 3.1)
        return scale(col, spin)
    paint(img, box, disc(cx, cy, cap_r + 0.6), (8, 8, 8))
    paint(img, box, disc(cx, cy, cap_r), cap_colour)


def knob_label(img, rect, text, colour, shadow=None, room=44):
    """The knob's name centred under it."""
    cx, cy, orbit = knob_centre(rect)
    fit_label(img, cx, int(cy + orbit + 13.5), text, colour, room, "m", shadow)


def lamp_socket(img, rect):
    """A bezel whose inner ring has the colour of the lamp bitmaps' own border."""
    left, top, right, bottom = rect
    box = (left - 3, top - 3, right + 3, bottom + 3)
    paint(img, box, round_rect(left - 2, top - 2, right + 2, bottom + 2, 3),
          lambda x, y: mix((150, 148, 142), (50, 48, 46), clamp01((y - top + 2) / 14)))
    Draw(img).rectangle((left - 1, top - 1, right, bottom), fill=SOCKET)


def recess(img, rect, ring_colour=(120, 116, 108)):
    """The dark frame a button or switch sits in."""
    left, top, right, bottom = rect
    box = (left - 3, top - 3, right + 3, bottom + 3)
    paint(img, box, round_rect(left - 2, top - 2, right + 2, bottom + 2, 2.5),
          vertical_gradient([(top, scale(ring_colour, 0.45)), (bottom, ring_colour)]))
    Draw(img).rectangle((left - 1, top - 1, right, bottom), fill=RECESS)


def lcd_strip(img, text_rect, chars, bezel):
    """Window of a bitmap-text view: the font's own background colour, inside a bezel."""
    left, top, right, bottom = text_rect
    right = max(right, left + (chars - 1) * L.GLYPH_ADVANCE + 8)
    x0, y0, x1, y1 = left - 5, top - 5, right + 5, bottom + 5
    paint(img, (x0 - 3, y0 - 3, x1 + 3, y1 + 3), round_rect(x0 - 2, y0 - 2, x1 + 2, y1 + 2, 3.5),
          lambda x, y: mix(scale(bezel, 0.5), bezel, clamp01((y - y0 + 2) / (y1 - y0 + 4))))
    paint(img, (x0 - 3, y0 - 3, x1 + 3, y1 + 3), round_rect(x0, y0, x1, y1, 2), (4, 3, 2))
    Draw(img).rectangle((x0 + 1, y0 + 1, x1 - 2, y1 - 2), fill=LCD_BG)


def heading(img, x, baseline, text, colour, rule_to=None, rule_colour=None, anchor="l"):
    """Section heading: spaced capitals, optionally followed by a thin rule."""
    width = draw_text(img, x, baseline, text, colour, font(HEADING_SIZE), 1, anchor)
    if rule_to is not None:
        start = int(round(x + width)) + 4
        Draw(img).line((start, baseline - 3, rule_to, baseline - 3),
                                 fill=rule_colour or colour)
    return width


def italic_text_mask(text, size, fnt, slant=0.22, oversample=4):
    """Anti-aliased mask of slanted lettering (the fonts have no italic of their own)."""
    big = ImageFont.truetype(fnt.path, fnt.size * oversample)
    w = int(big.getlength(text)) + big.size
    h = int(big.size * 1.4)
    mask = Image.new("L", (w, h))
    ImageDraw.Draw(mask).text((big.size // 4, h - big.size // 3), text, font=big, fill=255,
                              anchor="ls")
    mask = mask.transform(mask.size, Image.AFFINE, (1, slant, -slant * h, 0, 1, 0),
                          Image.BICUBIC)
    mask = mask.crop(mask.getbbox())
    return mask.resize((max(1, mask.width // oversample), max(1, mask.height // oversample)),
                       Image.LANCZOS)


def chrome_lettering(img, x, y, mask, stops, outline=(0, 0, 0)):
    """Fills a lettering mask with a vertical ramp through (fraction, colour) stops, over a
    dark outline and drop shadow; x, y and the mask in device pixels."""
    grown = mask.filter(ImageFilter.MaxFilter(2 * S + 1))
    img.paste(outline, (x + S, y + S), grown)
    img.paste(outline, (x, y), grown)
    h = mask.height
    ramp = Image.new("RGB", mask.size)
    rp = ramp.load()
    colour = vertical_gradient([(f * (h - 1), c) for f, c in stops])
    for yy in range(h):
        col = colour(0, yy)
        for xx in range(mask.width):
            rp[xx, yy] = col
    img.paste(ramp, (x, y), mask)


CREAM_SCRIPT = [(0.0, (255, 250, 232)), (0.5, (246, 214, 150)), (1.0, (196, 138, 58))]
CHROME_SCRIPT = [(0.0, (255, 255, 255)), (0.46, (190, 190, 196)), (0.52, (96, 92, 88)),
                 (0.6, (150, 146, 140)), (1.0, (246, 246, 250))]


# ---------------------------------------------------------------------------------------------
# Strings and pickup

STRING_ROWS = (102, 113, 124, 135, 146, 157)   # panel y of each string, low string on top
STRINGS_FROM, STRINGS_TO = 116, 379            # nut side to the bridge saddles


def strings_layer():
    """The six strings alone, on magenta, in panel coordinates."""
    img = new_image(L.PANEL_SIZE, MAGENTA)
    px = img.load()
    for n, y in enumerate(STRING_ROWS):
        for x in range(STRINGS_FROM, STRINGS_TO + 1):
            if n < 3:
                wind = (x + n) % 3 == 0
                block(px, x, y, (190, 181, 164) if wind else (224, 215, 196))
                block(px, x, y + 1, (104, 97, 86) if wind else (126, 118, 104))
            else:
                block(px, x, y, (236, 236, 240) if n > 3 else (214, 214, 220))
    return img


def string_shadows(img):
    """Shadows the strings cast on the body, one pixel under each."""
    px = img.load()
    for n, y in enumerate(STRING_ROWS):
        sy = y + (2 if n < 3 else 1)
        for x in range(STRINGS_FROM * S, STRINGS_TO * S):
            for dy in range(S):
                px[x, sy * S + dy] = scale(px[x, sy * S + dy], 0.55)


def overlay():
    x, y = L.OVERLAY_AT
    w, h = L.OVERLAY_SIZE
    return strings_layer().crop((x * S, y * S, (x + w) * S, (y + h) * S))


def pickup_handle():
    """A single-coil pickup with mounting ears, seen from above; rows 0..111 are panel 77..188."""
    w, h = L.SLIDER_HANDLE_SIZE
    img = new_image((w, h), MAGENTA)
    top = L.SLIDER[1]
    cx = w / 2
    chrome = lambda x, y: mix((236, 236, 232), (110, 110, 108), clamp01((x - 4) / 15))
    for ey in (8.5, 97.5):                            # ears over the two rails
        box = (0, ey - 6, w, ey + 6)
        paint(img, box, round_rect(4, ey - 4.5, w - 4, ey + 4.5, 3), (26, 24, 22))
        paint(img, box, round_rect(5, ey - 3.5, w - 5, ey + 3.5, 2.5), chrome)
        paint(img, box, disc(cx, ey, 1.6), (40, 38, 36))
    paint(img, (0, 10, w, 98), round_rect(1, 12, w - 1, 95, 5), (20, 16, 12))

    def cover(x, y):
        t = clamp01((x - 2) / (w - 4))
        return mix((250, 242, 220), (176, 160, 128), t * t)
    paint(img, (0, 10, w, 98), round_rect(2, 13, w - 2, 94, 4), cover)
    for sy in STRING_ROWS:
        py = sy - top + 0.5
        box = (cx - 4, py - 4, cx + 4, py + 4)
        paint(img, box, disc(cx + 0.3, py + 0.5, 2.4), (120, 110, 92))
        paint(img, box, disc(cx, py, 2.0), diagonal(cx, py, (250, 250, 250), (120, 120, 122), 4))
    return img


# ---------------------------------------------------------------------------------------------
# Small controls

def lamp(colour):
    """10 x 20: an unlit jewel lamp above the same lamp lit."""
    img = new_image((10, 20), SOCKET)
    for half, lit in ((0, False), (10, True)):
        cx, cy = 5.0, half + 5.0
        box = (0, half, 10, half + 10)
        if lit:
            paint(img, box, disc(cx, cy, 4.3), scale(colour, 0.55))
            paint(img, box, disc(cx, cy, 3.6),
                  radial(cx - 0.8, cy - 0.8, (255, 250, 235), colour, 3.4))
        else:
            paint(img, box, disc(cx, cy, 4.3), (30, 28, 26))
            paint(img, box, disc(cx, cy, 3.6),
                  radial(cx - 1, cy - 1, scale(colour, 0.42), scale(colour, 0.14), 4.5))
        paint(img, box, disc(cx - 1.3, cy - 1.4, 0.9), (255, 255, 255) if lit else (150, 140, 130))
    return img


def knob_handle(colour, pressed_colour):
    """5 x 10: the knob's pointer dot, normal above and pressed below, on magenta."""
    img = new_image((5, 10), MAGENTA)
    if S > 1:
        # The dot drawn round at the device's own pixels: rim, face and highlight.
        for half, col in ((0, colour), (5, pressed_colour)):
            box = (0, half, 5, half + 5)
            paint(img, box, disc(2.5, half + 2.5, 2.45), scale(col, 0.62))
            paint(img, box, disc(2.5, half + 2.5, 1.75), col)
            paint(img, box, disc(1.8, half + 1.8, 0.6), mix(col, (255, 255, 255), 0.7))
        return img
    px = img.load()
    shape = [".###.", "#####", "#####", "#####", ".###."]
    for half, col in ((0, colour), (5, pressed_colour)):
        for y, row in enumerate(shape):
            for x, c in enumerate(row):
                if c == "#":
                    edge = x in (0, 4) or y in (0, 4)
                    px[x, half + y] = scale(col, 0.62) if edge else col
        px[1, half + 1] = mix(col, (255, 255, 255), 0.7)
        px[3, half + 3] = scale(col, 0.8)
    return img


def step_button(up):
    """15 x 28: a raised button with an arrow, released above, pressed below."""
    img = new_image((15, 28), RECESS)
    for half, pressed in ((0, False), (14, True)):
        box = (0, half, 15, half + 14)
        top, bottom = half + 1, half + 13
        if pressed:
            face = lambda x, y, t=top: mix((70, 68, 64), (120, 116, 110), (y - t) / 12)
        else:
            face = lambda x, y, t=top: mix((214, 210, 202), (104, 100, 94), (y - t) / 12)
        paint(img, box, round_rect(1, top, 14, bottom, 2), face)
        cx, cy = 7.5 + (0.5 if pressed else 0), half + 7 + (0.5 if pressed else 0)
        tip, base = (cy - 2.5, cy + 2.0) if up else (cy + 2.5, cy - 2.0)
        arrow = polygon_cov([(cx - 3.6, base), (cx + 3.6, base), (cx, tip)])
        paint(img, (cx - 5, cy - 5, cx + 5, cy + 5), arrow, LCD_FG if pressed else (28, 24, 20))
    return img


def toggle_switch():
    """72 x 38: a bat-handle toggle, off (lever down) on the left, on (lever up) on the right."""
    img = new_image((72, 38), RECESS)
    for x0, on in ((0, False), (36, True)):
        box = (x0, 0, x0 + 36, 38)
        paint(img, box, round_rect(x0 + 1, 1, x0 + 35, 37, 3),
              lambda x, y: mix((72, 70, 66), (34, 33, 31), clamp01(y / 37)))
        paint(img, box, round_rect(x0 + 2, 2, x0 + 34, 36, 2),
              lambda x, y: mix((52, 51, 48), (40, 39, 37), clamp01(y / 37)))
        mark_on, mark_off = (228, 220, 200), (120, 116, 108)
        Draw(img).line((x0 + 6, 4, x0 + 6, 10), fill=mark_on if on else mark_off)
        paint(img, box, ring(x0 + 6.5, 30.5, 3.3, 2.2), mark_off if on else mark_on)
        led = (x0 + 29.5, 6.5)
        paint(img, box, disc(*led, 2.6), (14, 12, 10))
        paint(img, box, disc(*led, 2.0), (255, 96, 48) if on else (78, 24, 14))
        if on:
            paint(img, box, disc(led[0] - 0.6, led[1] - 0.6, 0.7), (255, 230, 200))
        cx, cy = x0 + 18.0, 19.5
        nut = [(cx + 6.5 * math.cos(math.radians(30 + 60 * k)),
                cy + 6.5 * math.sin(math.radians(30 + 60 * k))) for k in range(6)]
        paint(img, box, disc(cx + 0.8, cy + 1.4, 7.2), (16, 15, 14))
        paint(img, box, polygon_cov(nut), diagonal(cx, cy, (226, 226, 222), (92, 92, 90), 12))
        paint(img, box, disc(cx, cy, 3.6), (60, 60, 58))
        end_y = cy - 14 if on else cy + 14
        paint(img, box, segment(cx + 0.8, cy + 1.0, cx + 0.8, end_y + 1.0, 4.2), (14, 13, 12))
        paint(img, box, segment(cx, cy, cx, end_y, 3.4),
              lambda x, y: mix((248, 248, 246), (110, 110, 108), clamp01((x - cx + 1.7) / 3.4)))
        paint(img, box, disc(cx, end_y, 2.6),
              diagonal(cx, end_y, (255, 255, 255), (120, 120, 118), 5))
    return img


# ---------------------------------------------------------------------------------------------
# Font, badge

def bitmap_font():
    """128 x 48: 8 x 8 cells for codes 32..127, column code & 15, row (code - 32) / 16."""
    img = new_image((128, 48), LCD_BG)
    px = img.load()
    for code in range(32, 128):
        cx, cy = (code & 15) * 8, (code - 32) // 16 * 8
        for gx, gy in glyph_pixels(chr(code)):
            block(px, cx + 1 + gx, cy + gy, LCD_FG)
    return img


def badge():
    """72 x 10 brass plate with engraved lettering."""
    img = new_image((72, 10), TOLEX)
    paint(img, (0, 0, 72, 10), round_rect(0, 0, 72, 10, 2), (40, 30, 14))
    paint(img, (0, 0, 72, 10), round_rect(1, 1, 71, 9, 1.5),
          lambda x, y: mix((238, 210, 138), (150, 116, 56), clamp01((y - 1) / 8)))
    text = ["GUITAR", "BASS"]
    width = pixel_text_width(text[0]) + pixel_text_width(text[1]) + 7
    x = (72 - width) // 2
    ink = (52, 34, 10)
    draw_pixel_text(img, x, 2, text[0], ink)
    draw_pixel_text(img, x + pixel_text_width(text[0]) + 7, 2, text[1], ink)
    dot = x + pixel_text_width(text[0]) + 3
    px = img.load()
    for dx, dy in ((0, 0), (1, 0), (0, 1), (1, 1)):
        block(px, dot + dx, 4 + dy, ink)
    return img


# ---------------------------------------------------------------------------------------------
# Panel

GOLD = (204, 172, 108)
BODY = (114, 60, 394, 298)          # the guitar top that carries strings, pickup and knobs
FACEPLATE = (4, 305, 392, 400)
GRILLE = (4, 405, 392, 473)
EFFECT_PLATE = (4, 478, 392, 528)


def guitar_top(img):
    x0, y0, x1, y1 = BODY
    size = ((x1 - x0) * S, (y1 - y0) * S)
    grain = wood(size, 11)
    gp = grain.load()
    paint(img, (x0 - 2, y0 - 2, x1 + 3, y1 + 3), round_rect(x0 + 1, y0 + 2, x1 + 2, y1 + 2, 28),
          lambda x, y: (6, 5, 5))
    paint(img, BODY, round_rect(x0, y0, x1, y1, 28), (232, 220, 190))
    paint(img, BODY, round_rect(x0 + 2, y0 + 2, x1 - 2, y1 - 2, 26), (40, 20, 10))
    paint(img, BODY, round_rect(x0 + 3, y0 + 3, x1 - 3, y1 - 3, 25),
          lambda x, y: gp[at(x, x0), at(y, y0)])

    # end of the fretboard, with two frets and a position marker
    fb = (x0 + 2, 92, 162, 168)
    board = noise((fb[2] - fb[0], fb[3] - fb[1]), (30, 2), 21, Image.BILINEAR).load()
    paint(img, fb, round_rect(fb[0] - 10, fb[1], fb[2], fb[3], 6),
          lambda x, y: scale((62, 38, 26), 0.8 + 0.4 * board[at(x, fb[0]), at(y, fb[1])] / 255))
    d = Draw(img)
    d.line((fb[0], fb[3], fb[2] - 5, fb[3]), fill=(20, 10, 6))
    for fx in (126, 148):
        d.line((fx, fb[1] + 1, fx, fb[3] - 1), fill=(228, 226, 220))
        d.line((fx + 1, fb[1] + 1, fx + 1, fb[3] - 1), fill=(132, 130, 126))
    paint(img, (130, 122, 146, 138), disc(137.5, 130, 3.2), (236, 232, 216))

    # rails the pickup rides on, and its position scale
    for ry in (84, 173):
        paint(img, (164, ry - 3, 374, ry + 4), round_rect(165, ry - 2, 372, ry + 3, 2), (12, 8, 6))
        paint(img, (164, ry - 3, 374, ry + 4), round_rect(166, ry - 1, 371, ry + 2, 1.5),
              vertical_gradient([(ry - 1, (240, 240, 236)), (ry + 2, (96, 96, 94))]))
        for sx in (168.5, 368.5):
            paint(img, (sx - 3, ry - 3, sx + 3, ry + 4), disc(sx, ry + 0.5, 1.2), (50, 48, 44))
    for k in range(11):
        x = 167 + L.SLIDER_HANDLE_SIZE[0] // 2 + k * L.SLIDER_TRAVEL // 10
        d.line((x, 76 if k % 5 == 0 else 78, x, 80), fill=CREAM)
    fit_label(img, 268.5, 72, "Pickup position", CREAM, 120, "m", (20, 8, 4))

    # bridge with one saddle per string
    paint(img, (368, 88, 392, 174), round_rect(370, 90, 390, 172, 4), (14, 10, 8))
    paint(img, (368, 88, 392, 174), round_rect(371, 91, 389, 171, 3),
          lambda x, y: mix((236, 236, 232), (120, 120, 118), clamp01((x - 371) / 18)))
    for sy in STRING_ROWS:
        box = (372, sy - 4, 388, sy + 6)
        paint(img, box, round_rect(374, sy - 3, 386, sy + 4, 1.5), (70, 70, 68))
        paint(img, box, round_rect(374, sy - 3, 385, sy + 3, 1.5),
              vertical_gradient([(sy - 3, (250, 250, 248)), (sy + 3, (150, 150, 146))]))
        d.line((382, sy - 2, 382, sy + 2), fill=(60, 60, 58))
    for by in (96, 166):
        screw(img, 380, by, 0.6)

    string_shadows(img)
    layer = strings_layer()
    img.paste(layer, (0, 0), mask_of(layer))

    # control knobs on the lower bout
    shadow = (24, 8, 4)
    for rect, name, handle in L.KNOBS:
        if handle == 136 and rect[1] > 100:
            knob_body(img, rect, CREAM, (196, 196, 200))
    for rect, name, handle in L.KNOBS:
        if handle != 136 or rect[1] <= 100:
            continue
        cx, cy, orbit = knob_centre(rect)
        if name == "VelV":
            fit_label(img, cx + orbit + 6, 194, name, CREAM, 40, "l", shadow)
        elif name == "VelD":
            fit_label(img, cx, 193, name, CREAM, 40, "m", shadow)
        else:
            knob_label(img, rect, name, CREAM, shadow)


def mask_of(layer):
    """'L' mask: 255 where a layer is not magenta."""
    mask = Image.new("L", layer.size, 0)
    mp, lp = mask.load(), layer.load()
    for y in range(layer.height):
        for x in range(layer.width):
            if lp[x, y] != MAGENTA:
                mp[x, y] = 255
    return mask


def radio_column(img, group, heading_text, colour):
    """Heading, lamp sockets and a label in the 40 pixels right of each lamp."""
    (first, _), = group[:1]
    heading(img, first[0], first[1] - 7, heading_text, AMBER if colour == CREAM else INK)
    for rect, name in group:
        lamp_socket(img, rect)
        fit_label(img, rect[2] + 3, rect[1] + 8, name, colour, L.LABEL_SPACE - 3)


def top_bar(img):
    # logo plate, inviting a click
    x0, y0, x1, y1 = 3, 3, 141, 36
    paint(img, (0, 0, 144, 38), round_rect(x0, y0, x1, y1, 5),
          lambda x, y: mix((200, 198, 192), (70, 68, 64), clamp01((y - y0) / (y1 - y0))))
    paint(img, (0, 0, 144, 38), round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 4),
          lambda x, y: mix((36, 34, 32), (10, 10, 10), clamp01((y - y0) / (y1 - y0))))
    mask = italic_text_mask("Vorlak", 24, font(24, serif=True))
    chrome_lettering(img, 12 * S, ((y0 + y1) * S - mask.height) // 2, mask, CREAM_SCRIPT)
    paint(img, (118, 9, 138, 31), disc(128.5, 19.5, 7.4), (180, 130, 60))
    paint(img, (118, 9, 138, 31), disc(128.5, 19.5, 6.4), (24, 20, 16))
    draw_pixel_text(img, 127, 16, "i", AMBER)

    img.paste(badge(), (L.BADGE[0] * S, L.BADGE[1] * S))
    fit_label(img, 8, 51, "by Kivo", (150, 146, 138), 50)

    heading(img, 155, 9, "PLAY", AMBER, rule_to=265, rule_colour=(110, 90, 60))
    lcd_strip(img, L.PLAY_MODE_TEXT, L.PLAY_MODE_CHARS, (130, 126, 118))
    recess(img, (L.PLAY_STEP_DOWN[0], L.PLAY_STEP_DOWN[1], L.PLAY_STEP_UP[2], L.PLAY_STEP_UP[3]))
    timing = L.KNOBS[0][0]
    knob_body(img, timing, CREAM, (196, 196, 200))
    knob_label(img, timing, "Timing", CREAM)
    recess(img, L.LATCH_SWITCH)
    fit_label(img, (L.LATCH_SWITCH[0] + L.LATCH_SWITCH[2]) / 2, 52, "Latch", CREAM, 40, "m")


def amp_section(img):
    piping(img, 301)
    brushed_plate(img, FACEPLATE, GOLD, 31)
    for sx, sy in ((11, 312), (385, 312), (11, 393), (385, 393)):
        screw(img, sx, sy, 0.4 + sx * 0.01)
    radio_column(img, L.AMPLIFIERS, "AMP", INK)
    radio_column(img, L.CABINETS, "CABINET", INK)
    amp_knobs = [k for k in L.KNOBS if k[2] == 137 and k[0][1] == 338]
    for rect, name, _ in amp_knobs:
        knob_body(img, rect, INK, (226, 190, 120))
        knob_label(img, rect, name, INK, room=39)
    eq = [k[0] for k in amp_knobs[3:]]
    left, right = eq[0][0] + 2, eq[-1][2] - 2
    mid = (left + right) / 2
    width = heading(img, mid, 333, "EQ", INK, anchor="m")
    d = Draw(img)
    for a, b in ((left, mid - width / 2 - 4), (mid + width / 2 + 4, right)):
        d.line((a, 330, b, 330), fill=INK)
    d.line((left, 330, left, 333), fill=INK)
    d.line((right, 330, right, 333), fill=INK)

    # speaker grille with the maker's script
    piping(img, GRILLE[1] - 2, GRILLE[0], GRILLE[2])
    grille_cloth(img, GRILLE)
    piping(img, GRILLE[3], GRILLE[0], GRILLE[2])
    mask = italic_text_mask("Vorlak", 30, font(30, serif=True))
    chrome_lettering(img, ((GRILLE[0] + GRILLE[2]) * S - mask.width) // 2,
                     ((GRILLE[1] + GRILLE[3]) * S - mask.height) // 2, mask, CHROME_SCRIPT)

    brushed_plate(img, EFFECT_PLATE, GOLD, 41)
    for sx, sy in ((11, 485), (11, 521), (385, 485), (385, 521)):
        screw(img, sx, sy, 1.1 + sy * 0.01)
    heading(img, 22, 507, "EFFECT", INK)
    lcd_strip(img, L.EFFECT_TEXT, L.EFFECT_CHARS, (70, 60, 44))
    recess(img, (L.EFFECT_STEP_DOWN[0], L.EFFECT_STEP_DOWN[1], L.EFFECT_STEP_UP[2],
                 L.EFFECT_STEP_UP[3]), (90, 76, 50))
    for rect, name, _ in L.KNOBS[-2:]:
        knob_body(img, rect, INK, (226, 190, 120))
        knob_label(img, rect, name, INK)


def panel():
    img = new_image(L.PANEL_SIZE, TOLEX)
    tolex(img, (0, 0) + L.PANEL_SIZE, 1)
    top_bar(img)
    piping(img, 58, 0, L.PANEL_SIZE[0])
    guitar_top(img)
    radio_column(img, L.INSTRUMENTS, "STRINGS", CREAM)
    radio_column(img, L.COILS, "PICKUP", CREAM)
    recess(img, L.GLISSANDO_SWITCH)
    fit_label(img, (L.GLISSANDO_SWITCH[0] + L.GLISSANDO_SWITCH[2]) / 2, 255, "Glissando",
              CREAM, 50, "m")
    amp_section(img)
    return img


# ---------------------------------------------------------------------------------------------
# Logo picture

def catmull_rom(points, steps=8):
    """A closed smooth curve through the given points."""
    out = []
    n = len(points)
    for i in range(n):
        p0, p1, p2, p3 = (points[(i + k) % n] for k in (-1, 0, 1, 2))
        for s in range(steps):
            t = s / steps
            t2, t3 = t * t, t * t * t
            out.append(tuple(0.5 * (2 * b + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2
                                    + (-a + 3 * b - 3 * c + d) * t3)
                             for a, b, c, d in zip(p0, p1, p2, p3)))
    return out


def shape_mask(size, draw_fn, oversample=4):
    """Anti-aliased 'L' mask, size in device pixels, of shapes drawn by draw_fn(draw, k) in
    panel coordinates times k."""
    big = Image.new("L", (size[0] * oversample, size[1] * oversample))
    draw_fn(ImageDraw.Draw(big), oversample * S)
    return big.resize(size, Image.BOX)


def fill_through(img, mask, colour):
    """Pastes colour (a tuple or a function of x, y in panel coordinates) through a mask."""
    if callable(colour):
        layer = Image.new("RGB", img.size)
        lp = layer.load()
        bbox = mask.getbbox() or (0, 0, 0, 0)
        for y in range(bbox[1], bbox[3]):
            for x in range(bbox[0], bbox[2]):
                lp[x, y] = colour((x + 0.5) / S, (y + 0.5) / S)
        img.paste(layer, (0, 0), mask)
    else:
        img.paste(colour, (0, 0), mask)


GUITAR_BODY = [(240, 150), (230, 130), (214, 112), (208, 102), (220, 97), (246, 104),
               (270, 118), (296, 112), (326, 104), (348, 118), (357, 150), (353, 186),
               (336, 208), (306, 215), (280, 205), (258, 199), (238, 208), (224, 207),
               (220, 195), (233, 178), (240, 170)]


def guitar(img):
    """A stylised solid-body electric guitar lying across the picture, neck to the left."""
    size = img.size
    outline = catmull_rom(GUITAR_BODY)
    shadow = shape_mask(size, lambda d, k: d.polygon([(x * k + 4 * k, y * k + 6 * k)
                                                      for x, y in outline], fill=255))
    shadow = shadow.filter(ImageFilter.GaussianBlur(4 * S)).point(lambda v: v * 3 // 5)
    img.paste((0, 0, 0), (0, 0), shadow)
    body = shape_mask(size, lambda d, k: d.polygon([(x * k, y * k) for x, y in outline], fill=255))
    inner = body.filter(ImageFilter.MinFilter(4 * S + 1))
    fill_through(img, body, (236, 224, 196))
    x0, y0, x1, y1 = body.getbbox()
    burst = wood((x1 - x0, y1 - y0), 5)
    bp = burst.load()
    fill_through(img, inner, lambda x, y: bp[int(x * S) - x0, int(y * S) - y0])
    # pickguard, pickups, bridge and controls
    guard = catmull_rom([(232, 162), (246, 140), (272, 134), (300, 140), (316, 160),
                         (312, 190), (290, 200), (262, 196), (240, 188)])
    fill_through(img, shape_mask(size, lambda d, k: d.polygon([(x * k, y * k) for x, y in guard],
                                                             fill=255)), (18, 16, 15))
    for px_ in (256, 284):
        paint(img, (px_ - 6, 140, px_ + 6, 182), round_rect(px_ - 4, 143, px_ + 4, 179, 3.5),
              (240, 232, 210))
        for k in range(6):
            pole = disc(px_, 148.5 + 5.4 * k, 1.2)
            paint(img, (px_ - 3, 144, px_ + 3, 180), pole, (120, 118, 114))
    paint(img, (302, 140, 330, 182), round_rect(308, 143, 326, 179, 2),
          lambda x, y: mix((244, 244, 240), (130, 130, 126), clamp01((x - 308) / 18)))
    for kx, ky in ((300, 196), (318, 200), (334, 190)):
        paint(img, (kx - 7, ky - 7, kx + 7, ky + 7), disc(kx + 0.6, ky + 1, 5), (20, 10, 6))
        paint(img, (kx - 7, ky - 7, kx + 7, ky + 7), disc(kx, ky, 4.6),
              lambda x, y, kx=kx, ky=ky: mix((255, 250, 236), (150, 140, 120),
                                             clamp01((x - kx + y - ky) / 9 + 0.5)))
    # neck with frets and markers, headstock with six tuners
    neck_top, neck_bottom, nut, bridge = 153, 167, 64, 316
    paint(img, (nut - 2, neck_top - 1, 240, neck_bottom + 2),
          round_rect(nut - 1, neck_top, 238, neck_bottom, 1.5), (52, 32, 22))
    d = Draw(img)
    for n in range(1, 23):
        fx = nut + (bridge - nut) * (1 - 2 ** (-n / 12))
        if fx > 234:
            break
        d.line((int(fx), neck_top + 1, int(fx), neck_bottom - 1), fill=(214, 212, 206))
        prev = nut + (bridge - nut) * (1 - 2 ** (-(n - 1) / 12))
        mid = (fx + prev) / 2
        dots = [160] if n in (3, 5, 7, 9, 15, 17, 19, 21) else [156.5, 163.5] if n == 12 else []
        for dy in dots:
            paint(img, (mid - 3, dy - 3, mid + 3, dy + 3), disc(mid, dy, 1.3), (236, 230, 214))
    head = [(nut, 152), (nut - 4, 151), (54, 147), (40, 144), (24, 139), (13, 140), (9, 148),
            (14, 156), (30, 161), (46, 165), (nut - 4, 168), (nut, 168)]
    head_outline = catmull_rom(head, 6)
    head_mask = shape_mask(size, lambda d, k: d.polygon([(x * k, y * k) for x, y in head_outline],
                                                        fill=255))
    fill_through(img, head_mask.filter(ImageFilter.MaxFilter(2 * S + 1)), (20, 14, 8))
    fill_through(img, head_mask, lambda x, y: mix((236, 204, 140), (176, 128, 66),
                                                  clamp01((y - 138) / 30)))
    posts = [(18 + 7.2 * k, 146.5 + 1.3 * k) for k in range(6)]
    for tx, ty in posts:
        key = round_rect(tx - 2, ty - 12, tx + 2, ty - 5, 1.5)
        paint(img, (tx - 4, ty - 13, tx + 4, ty - 3), key,
              lambda x, y: mix((250, 250, 246), (140, 140, 136), clamp01((x - tx + 2) / 4)))
        paint(img, (tx - 4, ty - 4, tx + 4, ty + 4), disc(tx, ty, 2.3), (30, 28, 26))
        paint(img, (tx - 4, ty - 4, tx + 4, ty + 4), disc(tx, ty, 1.7), (214, 214, 210))
    d.line((nut, neck_top, nut, neck_bottom), fill=(240, 236, 224))
    for k, (tx, ty) in enumerate(posts):
        y = neck_top + 1.5 + 2.2 * k
        colour = (226, 226, 232) if k > 2 else (196, 190, 176)
        paint(img, (tx, min(ty, y) - 2, nut + 1, max(ty, y) + 2), segment(tx, ty, nut, y, 0.7),
              colour)
        d.line((nut, int(y), bridge + 4, int(y)), fill=colour)


def place_guitar(img, factor, at):
    """Draws the guitar at full size on black and on white, recovers its coverage from the
    difference, and lays it scaled down over the picture."""
    on_black, on_white = Image.new("RGB", img.size), Image.new("RGB", img.size, (255, 255, 255))
    guitar(on_black)
    guitar(on_white)
    bp, wp = on_black.load(), on_white.load()
    alpha = Image.new("L", img.size)
    colour = Image.new("RGB", img.size)
    ap, cp = alpha.load(), colour.load()
    for y in range(img.height):
        for x in range(img.width):
            b, w = bp[x, y], wp[x, y]
            a = 1.0 - max(wc - bc for wc, bc in zip(w, b)) / 255.0
            if a > 0.0:
                ap[x, y] = int(round(a * 255))
                cp[x, y] = tuple(min(255, int(round(c / a))) for c in b)
    box = alpha.getbbox()
    size = (int(round((box[2] - box[0]) * factor)), int(round((box[3] - box[1]) * factor)))
    alpha = alpha.crop(box).resize(size, Image.LANCZOS)
    colour = colour.crop(box).resize(size, Image.LANCZOS)
    img.paste(colour, (at[0] * S, at[1] * S), alpha)


def logo_picture():
    """364 x 226: shown when the logo is clicked; a click anywhere on it closes it."""
    w, h = 364, 226
    img = new_image((w, h))
    px = img.load()
    dw, dh = img.size
    for y in range(dh):
        for x in range(dw):
            t = math.hypot((x - dw * 0.4) / dw, (y - dh * 0.35) / dh)
            px[x, y] = mix((44, 38, 32), (8, 7, 6), clamp01(t * 1.6))
    background = img.copy()
    bp = background.load()
    Draw(img).rectangle((0, 0, w - 1, h - 1), fill=(8, 7, 6))
    paint(img, (0, 0, w, h), round_rect(0, 0, w, h, 6), (150, 118, 60))
    paint(img, (0, 0, w, h), round_rect(2, 2, w - 2, h - 2, 5), (12, 10, 8))
    paint(img, (0, 0, w, h), round_rect(3, 3, w - 3, h - 3, 4), lambda x, y: bp[at(x), at(y)])

    mask = italic_text_mask("Vorlak", 46, font(46, serif=True))
    chrome_lettering(img, 20 * S, 12 * S, mask, CREAM_SCRIPT)
    draw_text(img, 24, 82, "physically modelled guitar & bass", CREAM, font(13, bold=False))
    small = font(9, bold=False)
    draw_text(img, 24, 100, "six strings  \u00b7  chords, strums and solo glides", AMBER, small)
    draw_text(img, 24, 113, "four amplifiers  \u00b7  four cabinets  \u00b7  fifteen effects",
              AMBER, small)
    place_guitar(img, 0.74, (94, 116))
    draw_text(img, w - 14, 218, "Kivo  \u00b7  VST 2 instrument", (150, 144, 132), small,
              anchor="r")
    draw_text(img, 14, 218, "click to close", (110, 104, 94), small)
    return img


# ---------------------------------------------------------------------------------------------

def pictures():
    return {
        128: panel(),
        129: bitmap_font(),
        130: logo_picture(),
        131: badge(),
        132: lamp((255, 168, 40)),
        133: lamp((96, 240, 110)),
        134: lamp((255, 64, 40)),
        135: lamp((90, 170, 255)),
        136: knob_handle((255, 190, 90), (255, 250, 200)),
        137: knob_handle((244, 238, 224), (255, 200, 110)),
        138: pickup_handle(),
        139: overlay(),
        140: step_button(up=True),
        141: step_button(up=False),
        142: step_button(up=True),
        143: step_button(up=False),
        144: toggle_switch(),
        145: toggle_switch(),
    }


def main():
    global S
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "resources")
    os.makedirs(out, exist_ok=True)
    for S in (1, 2, 3):
        suffix = "" if S == 1 else "@%dx" % S
        for number, img in pictures().items():
            write_bmp(os.path.join(out, "bitmap-%d%s.bmp" % (number, suffix)), img,
                      24 if number == 131 else 8)


if __name__ == "__main__":
    main()
