#!/usr/bin/env python3
"""Draws the built-in pictures of the custom controls and writes them as PNG files.

    python3 tools/make_control_art.py [output folder]   (default: src/controls/art)

Standard library only, so the committed pictures can be remade on any machine. The pictures:
  W95_HTB.png  18 x 17  horizontal slider thumb: normal and pressed state side by side
  W95_HRL.png  10 x 10  horizontal slider ruler tile: a sunken 4-pixel groove
  W95_VTB.png  34 x  9  vertical slider thumb: the horizontal one turned to point right
  W95_VRL.png   8 x 10  vertical slider ruler tile
  AD_HAND.png  32 x 32  hand pointer, hot spot at (6, 1)
  player_font.png 1598 x 20  the title banner's dot-matrix font, 16-pixel cells in the order
               of PLAYER_FONT_CHARS below (Windows-1252 codes)
Pixels of olive RGB(128, 128, 0) in the slider pictures are see-through.
"""
import os
import struct
import sys
import zlib

OLIVE = (128, 128, 0)
WHITE = (255, 255, 255)
LIGHT = (223, 223, 223)
FACE = (192, 192, 192)
DARK = (128, 128, 128)
BLACK = (0, 0, 0)


def write_png(path, width, height, pixels, alpha=False):
    """pixels: rows of (r, g, b) or (r, g, b, a) tuples."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # no filter
        for px in row:
            raw.extend(px if alpha else px[:3])
    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) \
        + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


PALETTE = {".": OLIVE, "W": WHITE, "L": LIGHT, "F": FACE, "D": DARK, "K": BLACK}

# A raised key pointing down, lit from the top left: white and light edges up and left,
# dark grey and black edges down and right.
THUMB_DOWN = [
    "WWWWWWWWK",
    "WLLLLLLDK",
    "WLFFFFFDK",
    "WLFFFFFDK",
    "WLFFFFFDK",
    "WLFFFFFDK",
    "WLFFFFFDK",
    "WLFFFFFDK",
    "WLFFFFFDK",
    "WLFFFFFDK",
    "WLFFFFFDK",
    "WLFFFFFDK",
    "WLFFFFFDK",
    ".WLFFFDK.",
    "..WLFDK..",
    "...WDK...",
    "....K....",
]


def thumb_states(rows):
    """Normal state, then the pressed state whose face is dotted."""
    normal = [[PALETTE[c] for c in row] for row in rows]
    pressed = []
    for y, row in enumerate(rows):
        out = []
        for x, c in enumerate(row):
            out.append(WHITE if c == "F" and (x + y) % 2 == 0 else PALETTE[c])
        pressed.append(out)
    return [n + p for n, p in zip(normal, pressed)]


def transpose(rows):
    return ["".join(row[x] for row in rows) for x in range(len(rows[0]))]


def groove_rows(length, across, first):
    """A 4-pixel sunken groove: dark grey, black, light, white from its outer edge in."""
    cols = [OLIVE] * across
    for i, colour in enumerate((DARK, BLACK, LIGHT, WHITE)):
        cols[first + i] = colour
    return cols


def hand_cursor():
    size = 32
    white = set()
    def rect(x0, y0, x1, y1):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                white.add((x, y))
    rect(6, 1, 7, 9)      # index finger
    rect(9, 5, 10, 9)     # middle finger
    rect(12, 6, 13, 9)    # ring finger
    rect(15, 7, 16, 10)   # little finger
    rect(6, 9, 16, 15)    # palm
    rect(7, 16, 15, 18)   # wrist
    for x, y in ((2, 10), (3, 10), (3, 11), (4, 11), (4, 12), (5, 12), (5, 13), (6, 13), (5, 11)):
        white.add((x, y))  # thumb
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            if (x, y) in white:
                row.append((255, 255, 255, 255))
            elif any((x + dx, y + dy) in white for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                row.append((0, 0, 0, 255))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


# ---- the banner font -------------------------------------------------------------------
# Windows-1252 codes of the glyph cells, in cell order: space to Z, three capitals of the
# Nordic alphabets, [ to _, y with diaeresis, a to z, then five accented small letters.
PLAYER_FONT_CHARS = list(range(32, 91)) + [0xC4, 0xC5, 0xD6] + list(range(91, 96)) + [0xFF] \
    + list(range(97, 123)) + [0xE4, 0xE5, 0xF6, 0xFC, 0xFB]

# Glyphs on a grid of 5 columns by 10 dot rows: (first row, rows). Capitals and digits take
# rows 1-7, small letters rows 3-7, descenders go down to row 9, accents sit in rows 0-2.
G = {}
def glyph(ch, top, *rows):
    G[ch] = (top, rows)

glyph(" ", 1)
glyph("!", 1, "..X..", "..X..", "..X..", "..X..", "..X..", ".....", "..X..")
glyph('"', 1, ".X.X.", ".X.X.", ".X.X.")
glyph("#", 1, ".X.X.", ".X.X.", "XXXXX", ".X.X.", "XXXXX", ".X.X.", ".X.X.")
glyph("$", 1, "..X..", ".XXXX", "X.X..", ".XXX.", "..X.X", "XXXX.", "..X..")
glyph("%", 1, "XX...", "XX..X", "...X.", "..X..", ".X...", "X..XX", "...XX")
glyph("&", 1, ".XX..", "X..X.", "X.X..", ".X...", "X.X.X", "X..X.", ".XX.X")
glyph("'", 1, "..X..", "..X..", ".X...")
glyph("(", 1, "...X.", "..X..", ".X...", ".X...", ".X...", "..X..", "...X.")
glyph(")", 1, ".X...", "..X..", "...X.", "...X.", "...X.", "..X..", ".X...")
glyph("*", 1, ".....", "..X..", "X.X.X", ".XXX.", "X.X.X", "..X..", ".....")
glyph("+", 1, ".....", "..X..", "..X..", "XXXXX", "..X..", "..X..", ".....")
glyph(",", 5, ".XX..", "..X..", ".X...")
glyph("-", 4, "XXXXX")
glyph(".", 6, ".XX..", ".XX..")
glyph("/", 1, ".....", "....X", "...X.", "..X..", ".X...", "X....", ".....")
glyph("0", 1, ".XXX.", "X...X", "X..XX", "X.X.X", "XX..X", "X...X", ".XXX.")
glyph("1", 1, "..X..", ".XX..", "..X..", "..X..", "..X..", "..X..", ".XXX.")
glyph("2", 1, ".XXX.", "X...X", "....X", "...X.", "..X..", ".X...", "XXXXX")
glyph("3", 1, "XXXXX", "...X.", "..X..", "...X.", "....X", "X...X", ".XXX.")
glyph("4", 1, "...X.", "..XX.", ".X.X.", "X..X.", "XXXXX", "...X.", "...X.")
glyph("5", 1, "XXXXX", "X....", "XXXX.", "....X", "....X", "X...X", ".XXX.")
glyph("6", 1, "..XX.", ".X...", "X....", "XXXX.", "X...X", "X...X", ".XXX.")
glyph("7", 1, "XXXXX", "....X", "...X.", "..X..", ".X...", ".X...", ".X...")
glyph("8", 1, ".XXX.", "X...X", "X...X", ".XXX.", "X...X", "X...X", ".XXX.")
glyph("9", 1, ".XXX.", "X...X", "X...X", ".XXXX", "....X", "...X.", ".XX..")
glyph(":", 1, ".....", ".XX..", ".XX..", ".....", ".XX..", ".XX..", ".....")
glyph(";", 1, ".....", ".XX..", ".XX..", ".....", ".XX..", "..X..", ".X...")
glyph("<", 1, "...X.", "..X..", ".X...", "X....", ".X...", "..X..", "...X.")
glyph("=", 1, ".....", ".....", "XXXXX", ".....", "XXXXX", ".....", ".....")
glyph(">", 1, ".X...", "..X..", "...X.", "....X", "...X.", "..X..", ".X...")
glyph("?", 1, ".XXX.", "X...X", "....X", "...X.", "..X..", ".....", "..X..")
glyph("@", 1, ".XXX.", "X...X", "....X", ".XX.X", "X.X.X", "X.X.X", ".XXX.")
glyph("A", 1, ".XXX.", "X...X", "X...X", "XXXXX", "X...X", "X...X", "X...X")
glyph("B", 1, "XXXX.", "X...X", "X...X", "XXXX.", "X...X", "X...X", "XXXX.")
glyph("C", 1, ".XXX.", "X...X", "X....", "X....", "X....", "X...X", ".XXX.")
glyph("D", 1, "XXX..", "X..X.", "X...X", "X...X", "X...X", "X..X.", "XXX..")
glyph("E", 1, "XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX")
glyph("F", 1, "XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "X....")
glyph("G", 1, ".XXX.", "X...X", "X....", "X.XXX", "X...X", "X...X", ".XXXX")
glyph("H", 1, "X...X", "X...X", "X...X", "XXXXX", "X...X", "X...X", "X...X")
glyph("I", 1, ".XXX.", "..X..", "..X..", "..X..", "..X..", "..X..", ".XXX.")
glyph("J", 1, "..XXX", "...X.", "...X.", "...X.", "...X.", "X..X.", ".XX..")
glyph("K", 1, "X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X")
glyph("L", 1, "X....", "X....", "X....", "X....", "X....", "X....", "XXXXX")
glyph("M", 1, "X...X", "XX.XX", "X.X.X", "X.X.X", "X...X", "X...X", "X...X")
glyph("N", 1, "X...X", "X...X", "XX..X", "X.X.X", "X..XX", "X...X", "X...X")
glyph("O", 1, ".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX.")
glyph("P", 1, "XXXX.", "X...X", "X...X", "XXXX.", "X....", "X....", "X....")
glyph("Q", 1, ".XXX.", "X...X", "X...X", "X...X", "X.X.X", "X..X.", ".XX.X")
glyph("R", 1, "XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X")
glyph("S", 1, ".XXXX", "X....", "X....", ".XXX.", "....X", "....X", "XXXX.")
glyph("T", 1, "XXXXX", "..X..", "..X..", "..X..", "..X..", "..X..", "..X..")
glyph("U", 1, "X...X", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX.")
glyph("V", 1, "X...X", "X...X", "X...X", "X...X", "X...X", ".X.X.", "..X..")
glyph("W", 1, "X...X", "X...X", "X...X", "X.X.X", "X.X.X", "X.X.X", ".X.X.")
glyph("X", 1, "X...X", "X...X", ".X.X.", "..X..", ".X.X.", "X...X", "X...X")
glyph("Y", 1, "X...X", "X...X", "X...X", ".X.X.", "..X..", "..X..", "..X..")
glyph("Z", 1, "XXXXX", "....X", "...X.", "..X..", ".X...", "X....", "XXXXX")
glyph("\u00c4", 0, ".X.X.", ".....", ".XXX.", "X...X", "X...X", "XXXXX", "X...X", "X...X")
glyph("\u00c5", 0, "..X..", ".X.X.", "..X..", ".XXX.", "X...X", "XXXXX", "X...X", "X...X")
glyph("\u00d6", 0, ".X.X.", ".....", ".XXX.", "X...X", "X...X", "X...X", "X...X", ".XXX.")
glyph("[", 1, ".XXX.", ".X...", ".X...", ".X...", ".X...", ".X...", ".XXX.")
glyph("\\", 1, ".....", "X....", ".X...", "..X..", "...X.", "....X", ".....")
glyph("]", 1, ".XXX.", "...X.", "...X.", "...X.", "...X.", "...X.", ".XXX.")
glyph("^", 1, "..X..", ".X.X.", "X...X")
glyph("_", 8, "XXXXX")
glyph("a", 3, ".XXX.", "....X", ".XXXX", "X...X", ".XXXX")
glyph("b", 1, "X....", "X....", "XXXX.", "X...X", "X...X", "X...X", "XXXX.")
glyph("c", 3, ".XXX.", "X....", "X....", "X...X", ".XXX.")
glyph("d", 1, "....X", "....X", ".XXXX", "X...X", "X...X", "X...X", ".XXXX")
glyph("e", 3, ".XXX.", "X...X", "XXXXX", "X....", ".XXX.")
glyph("f", 1, "..XX.", ".X..X", ".X...", "XXX..", ".X...", ".X...", ".X...")
glyph("g", 3, ".XXXX", "X...X", "X...X", ".XXXX", "....X", "X...X", ".XXX.")
glyph("h", 1, "X....", "X....", "X.XX.", "XX..X", "X...X", "X...X", "X...X")
glyph("i", 1, "..X..", ".....", ".XX..", "..X..", "..X..", "..X..", ".XXX.")
glyph("j", 1, "...X.", ".....", "..XX.", "...X.", "...X.", "...X.", "...X.", "X..X.", ".XX..")
glyph("k", 1, "X....", "X....", "X..X.", "X.X..", "XX...", "X.X..", "X..X.")
glyph("l", 1, ".XX..", "..X..", "..X..", "..X..", "..X..", "..X..", ".XXX.")
glyph("m", 3, "XX.X.", "X.X.X", "X.X.X", "X.X.X", "X.X.X")
glyph("n", 3, "X.XX.", "XX..X", "X...X", "X...X", "X...X")
glyph("o", 3, ".XXX.", "X...X", "X...X", "X...X", ".XXX.")
glyph("p", 3, "XXXX.", "X...X", "X...X", "X...X", "XXXX.", "X....", "X....")
glyph("q", 3, ".XXXX", "X...X", "X...X", "X...X", ".XXXX", "....X", "....X")
glyph("r", 3, "X.XX.", "XX..X", "X....", "X....", "X....")
glyph("s", 3, ".XXXX", "X....", ".XXX.", "....X", "XXXX.")
glyph("t", 1, ".X...", ".X...", "XXX..", ".X...", ".X...", ".X..X", "..XX.")
glyph("u", 3, "X...X", "X...X", "X...X", "X..XX", ".XX.X")
glyph("v", 3, "X...X", "X...X", "X...X", ".X.X.", "..X..")
glyph("w", 3, "X...X", "X...X", "X.X.X", "X.X.X", ".X.X.")
glyph("x", 3, "X...X", ".X.X.", "..X..", ".X.X.", "X...X")
glyph("y", 3, "X...X", "X...X", "X...X", ".XXXX", "....X", "X...X", ".XXX.")
glyph("z", 3, "XXXXX", "...X.", "..X..", ".X...", "XXXXX")
glyph("\u00ff", 1, ".X.X.", ".....", "X...X", "X...X", "X...X", ".XXXX", "....X", "X...X", ".XXX.")
glyph("\u00e4", 1, ".X.X.", ".....", ".XXX.", "....X", ".XXXX", "X...X", ".XXXX")
glyph("\u00e5", 0, "..X..", ".X.X.", "..X..", ".XXX.", "....X", ".XXXX", "X...X", ".XXXX")
glyph("\u00f6", 1, ".X.X.", ".....", ".XXX.", "X...X", "X...X", "X...X", ".XXX.")
glyph("\u00fc", 1, ".X.X.", ".....", "X...X", "X...X", "X...X", "X..XX", ".XX.X")
glyph("\u00fb", 0, "..X..", ".X.X.", ".....", "X...X", "X...X", "X...X", "X..XX", ".XX.X")

CELL_W, FONT_W, FONT_H = 16, 1598, 20
LIT = (0, 255, 255)
UNLIT = (0, 44, 52)   # the dark LEDs behind the text, so the strip reads as one display
BACK = (0, 0, 0)


def player_font():
    img = [[BACK] * FONT_W for _ in range(FONT_H)]
    for k, code in enumerate(PLAYER_FONT_CHARS):
        top, rows = G[bytes([code]).decode("cp1252")]
        for r in range(10):
            for c in range(8):
                img[1 + 2 * r][k * CELL_W + 1 + 2 * c] = UNLIT
        for i, row in enumerate(rows):
            assert len(row) == 5, (code, row)
            for c, dot in enumerate(row):
                if dot == "X":
                    img[1 + 2 * (top + i)][k * CELL_W + 3 + 2 * c] = LIT
    return img


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "src", "controls", "art")
    os.makedirs(out, exist_ok=True)
    assert len(PLAYER_FONT_CHARS) == 99
    htb = thumb_states(THUMB_DOWN)
    write_png(os.path.join(out, "W95_HTB.png"), 18, 17, htb)
    vtb = thumb_states(transpose(THUMB_DOWN))
    write_png(os.path.join(out, "W95_VTB.png"), 34, 9, vtb)
    write_png(os.path.join(out, "W95_HRL.png"), 10, 10,
              [[groove_rows(10, 10, 3)[y]] * 10 for y in range(10)])
    write_png(os.path.join(out, "W95_VRL.png"), 8, 10, [groove_rows(10, 8, 2) for _ in range(10)])
    write_png(os.path.join(out, "AD_HAND.png"), 32, 32, hand_cursor(), alpha=True)
    write_png(os.path.join(out, "player_font.png"), FONT_W, FONT_H, player_font())


if __name__ == "__main__":
    main()
