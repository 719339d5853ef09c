#!/usr/bin/env python3
"""Draws the pictures of the demo movie: a short stretch of screen activity
(a desktop, a notes window, typing, a menu, a dialog that waits for a click)
as 800 x 600 PNG files, plus the frame list and the header that "qvm build"
turns into a movie.

    make_demo.py OUTDIR

Standard library only, and deterministic: the same bytes on every run. Each
picture is the previous one with only what moved redrawn, so most pixel rows
repeat from frame to frame, as in a real screen recording, and the movie's
row store stays small.
"""
import hashlib
import os
import re
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "scripts"))
import images  # noqa: E402
from qvm_tool import list_line, write_header  # noqa: E402

W, H = 800, 600
STRIDE = W * 3

# ---------------------------------------------------------------------------
# The bitmap font: 5 x 8 glyphs (row 7 for descenders) in a 6 x 10 cell.
# Each entry: the character, then its rows from the top, "#" for ink.
# Rows left out at the bottom are blank. The blank glyph is the default.

FONT_TABLE = r"""
! ..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#..
" .#.#. .#.#. .....
# .#.#. .#.#. ##### .#.#. ##### .#.#. .#.#.
$ ..#.. .#### #.#.. .###. ..#.# ####. ..#..
% ##... ##..# ...#. ..#.. .#... #..## ...##
& .##.. #..#. #.#.. .#... #.#.# #..#. .##.#
' ..#.. ..#.. .#...
( ...#. ..#.. .#... .#... .#... ..#.. ...#.
) .#... ..#.. ...#. ...#. ...#. ..#.. .#...
* ..... ..#.. #.#.# .###. #.#.# ..#.. .....
+ ..... ..#.. ..#.. ##### ..#.. ..#.. .....
, ..... ..... ..... ..... ..... .##.. ..#.. .#...
- ..... ..... ..... ##### ..... ..... .....
. ..... ..... ..... ..... ..... .##.. .##..
/ ..... ....# ...#. ..#.. .#... #.... .....
0 .###. #...# #..## #.#.# ##..# #...# .###.
1 ..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###.
2 .###. #...# ....# ...#. ..#.. .#... #####
3 ##### ...#. ..#.. ...#. ....# #...# .###.
4 ...#. ..##. .#.#. #..#. ##### ...#. ...#.
5 ##### #.... ####. ....# ....# #...# .###.
6 ..##. .#... #.... ####. #...# #...# .###.
7 ##### ....# ...#. ..#.. .#... .#... .#...
8 .###. #...# #...# .###. #...# #...# .###.
9 .###. #...# #...# .#### ....# ...#. .##..
: ..... .##.. .##.. ..... .##.. .##.. .....
; ..... .##.. .##.. ..... .##.. ..#.. .#...
< ...#. ..#.. .#... #.... .#... ..#.. ...#.
= ..... ..... ##### ..... ##### ..... .....
> .#... ..#.. ...#. ....# ...#. ..#.. .#...
? .###. #...# ....# ...#. ..#.. ..... ..#..
@ .###. #...# ....# .##.# #.#.# #.#.# .###.
A .###. #...# #...# ##### #...# #...# #...#
B ####. #...# #...# ####. #...# #...# ####.
C .###. #...# #.... #.... #.... #...# .###.
D ###.. #..#. #...# #...# #...# #..#. ###..
E ##### #.... #.... ####. #.... #.... #####
F ##### #.... #.... ####. #.... #.... #....
G .###. #...# #.... #.### #...# #...# .####
H #...# #...# #...# ##### #...# #...# #...#
I .###. ..#.. ..#.. ..#.. ..#.. ..#.. .###.
J ..### ...#. ...#. ...#. ...#. #..#. .##..
K #...# #..#. #.#.. ##... #.#.. #..#. #...#
L #.... #.... #.... #.... #.... #.... #####
M #...# ##.## #.#.# #.#.# #...# #...# #...#
N #...# #...# ##..# #.#.# #..## #...# #...#
O .###. #...# #...# #...# #...# #...# .###.
P ####. #...# #...# ####. #.... #.... #....
Q .###. #...# #...# #...# #.#.# #..#. .##.#
R ####. #...# #...# ####. #.#.. #..#. #...#
S .#### #.... #.... .###. ....# ....# ####.
T ##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..
U #...# #...# #...# #...# #...# #...# .###.
V #...# #...# #...# #...# #...# .#.#. ..#..
W #...# #...# #...# #.#.# #.#.# #.#.# .#.#.
X #...# #...# .#.#. ..#.. .#.#. #...# #...#
Y #...# #...# .#.#. ..#.. ..#.. ..#.. ..#..
Z ##### ....# ...#. ..#.. .#... #.... #####
[ .###. .#... .#... .#... .#... .#... .###.
\ ..... #.... .#... ..#.. ...#. ....# .....
] .###. ...#. ...#. ...#. ...#. ...#. .###.
^ ..#.. .#.#. #...#
_ ..... ..... ..... ..... ..... ..... ..... #####
` .#... ..#..
a ..... ..... .###. ....# .#### #...# .####
b #.... #.... #.##. ##..# #...# #...# ####.
c ..... ..... .###. #.... #.... #...# .###.
d ....# ....# .##.# #..## #...# #...# .####
e ..... ..... .###. #...# ##### #.... .###.
f ..##. .#..# .#... ###.. .#... .#... .#...
g ..... ..... .#### #...# #...# .#### ....# .###.
h #.... #.... #.##. ##..# #...# #...# #...#
i ..#.. ..... .##.. ..#.. ..#.. ..#.. .###.
j ...#. ..... ..##. ...#. ...#. ...#. #..#. .##..
k #.... #.... #..#. #.#.. ##... #.#.. #..#.
l .##.. ..#.. ..#.. ..#.. ..#.. ..#.. .###.
m ..... ..... ##.#. #.#.# #.#.# #.#.# #.#.#
n ..... ..... #.##. ##..# #...# #...# #...#
o ..... ..... .###. #...# #...# #...# .###.
p ..... ..... ####. #...# #...# ####. #.... #....
q ..... ..... .#### #...# #...# .#### ....# ....#
r ..... ..... #.##. ##..# #.... #.... #....
s ..... ..... .#### #.... .###. ....# ####.
t .#... .#... ###.. .#... .#... .#..# ..##.
u ..... ..... #...# #...# #...# #..## .##.#
v ..... ..... #...# #...# #...# .#.#. ..#..
w ..... ..... #...# #...# #.#.# #.#.# .#.#.
x ..... ..... #...# .#.#. ..#.. .#.#. #...#
y ..... ..... #...# #...# #...# .#### ....# .###.
z ..... ..... ##### ...#. ..#.. .#... #####
{ ...#. ..#.. ..#.. .#... ..#.. ..#.. ...#.
| ..#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..#..
} .#... ..#.. ..#.. ...#. ..#.. ..#.. .#...
~ ..... ..... .#... #.#.# ...#.
"""

CELL_W, CELL_H = 6, 10


def parse_font(table):
    """char -> list of (row, first column, run length) of ink."""
    runs = {}
    for line in table.strip("\n").split("\n"):
        char, rows = line[0], line[2:].split()
        runs[char] = [(y, m.start(), len(m.group())) for y, row in enumerate(rows)
                      for m in re.finditer("#+", row)]
    return runs


GLYPHS = parse_font(FONT_TABLE)

# The pointer: "X" outline, "o" fill, blanks let the picture through.
ARROW = [
    "X",
    "XX",
    "XoX",
    "XooX",
    "XoooX",
    "XooooX",
    "XoooooX",
    "XooooooX",
    "XoooooooX",
    "XooooooooX",
    "XoooooXXXXX",
    "XooXooX",
    "XoX XooX",
    "XX  XooX",
    "X    XooX",
    "     XooX",
    "      XX",
]

# ---------------------------------------------------------------------------
# Colours (red, green, blue).

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
FACE = (212, 208, 200)        # window chrome
LIGHT = (255, 255, 255)
SHADOW = (128, 128, 128)
DARK = (64, 64, 64)
PLAYER_BAR = (28, 48, 92)
PLAYER_BAR_OFF = (118, 124, 136)
APP_BAR = (10, 36, 106)
APP_BAR_END = (166, 202, 240)
APP_BAR_OFF = (128, 128, 128)
SELECT = (10, 36, 106)
CLOSE_RED = (192, 57, 43)
NOTE_YELLOW = (255, 236, 140)
INK = (20, 20, 28)


class Canvas:
    """An 800 x 600 RGB picture, rows top to bottom, written in place."""

    def __init__(self, pixels=None):
        self.buf = bytearray(pixels) if pixels is not None else bytearray(STRIDE * H)

    def copy(self):
        return Canvas(self.buf)

    def fill(self, x, y, w, h, rgb):
        x0, y0, x1, y1 = max(x, 0), max(y, 0), min(x + w, W), min(y + h, H)
        if x0 >= x1 or y0 >= y1:
            return
        run = bytes(rgb) * (x1 - x0)
        for row in range(y0, y1):
            at = row * STRIDE + x0 * 3
            self.buf[at:at + len(run)] = run

    def box(self, x, y, w, h, rgb):
        """A one-pixel outline."""
        self.fill(x, y, w, 1, rgb)
        self.fill(x, y + h - 1, w, 1, rgb)
        self.fill(x, y, 1, h, rgb)
        self.fill(x + w - 1, y, 1, h, rgb)

    def bevel(self, x, y, w, h, raised=True, face=FACE):
        """A button-like block: light top-left and dark bottom-right edges."""
        top, bottom = (LIGHT, DARK) if raised else (DARK, LIGHT)
        self.fill(x, y, w, h, face)
        self.fill(x, y, w, 1, top)
        self.fill(x, y, 1, h, top)
        self.fill(x, y + h - 1, w, 1, bottom)
        self.fill(x + w - 1, y, 1, h, bottom)
        inner = SHADOW if raised else FACE
        self.fill(x + 1, y + h - 2, w - 2, 1, inner)
        self.fill(x + w - 2, y + 1, 1, h - 2, inner)

    def text(self, x, y, text, rgb, scale=2):
        for n, char in enumerate(text):
            left = x + n * CELL_W * scale
            for row, col, length in GLYPHS.get(char, ()):
                self.fill(left + col * scale, y + row * scale, length * scale, scale, rgb)

    def gradient_cols(self, x, y, w, h, left, right):
        for n in range(w):
            rgb = tuple(a + (b - a) * n // max(w - 1, 1) for a, b in zip(left, right))
            self.fill(x + n, y, 1, h, rgb)

    def sprite(self, x, y, shape, colours):
        for row, line in enumerate(shape):
            for col, key in enumerate(line):
                if key in colours:
                    self.fill(x + col, y + row, 1, 1, colours[key])

    def save(self, x, y, w, h):
        return [bytes(self.buf[(y + r) * STRIDE + x * 3:(y + r) * STRIDE + (x + w) * 3])
                for r in range(h)]

    def restore(self, x, y, saved):
        for r, row in enumerate(saved):
            at = (y + r) * STRIDE + x * 3
            self.buf[at:at + len(row)] = row


def text_width(text, scale=2):
    return len(text) * CELL_W * scale - scale  # the last cell's gap is not ink


# ---------------------------------------------------------------------------
# PNG output, with fast compression.

def png_bytes(canvas):
    view = memoryview(canvas.buf)
    return images.png_bytes(W, [view[r * STRIDE:(r + 1) * STRIDE] for r in range(H)], 1)


class Lcg:
    """A tiny fixed-seed generator, so typing rhythm is the same every run."""

    def __init__(self, seed):
        self.state = seed

    def below(self, n):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return (self.state >> 8) % n


# ---------------------------------------------------------------------------
# The screen layout, in movie pixels.

PLAYER_BAR_H = 24           # the player's own title strip (TitleBarHeight)
TASKBAR_Y = 572
WIN_X, WIN_Y, WIN_W, WIN_H = 110, 48, 640, 488
APP_TITLE_Y = WIN_Y + 2
MENU_Y = WIN_Y + 26
DOC_X, DOC_Y, DOC_W, DOC_H = 116, 100, 628, 410
STATUS_Y = 510
TEXT_X, TEXT_Y, LINE_PITCH = 124, 106, 22
MENUS = [("File", 116), ("Edit", 184), ("View", 252), ("Help", 320)]
MENU_ITEM_W = 60
ICONS = [("Notes", 24, 40), ("Mail", 24, 120), ("Trash", 24, 200)]
DIALOG = (250, 210, 340, 160)
OK_BUTTON = (370, 322, 100, 32)   # x, y, w, h: the click region covers exactly this


def draw_player_bar(c, active=True):
    """The strip at the top of the movie, which the player treats as its title
    bar: dragging it moves the window, the right-hand boxes minimise and close."""
    c.fill(0, 0, W, PLAYER_BAR_H, PLAYER_BAR if active else PLAYER_BAR_OFF)
    c.fill(6, 5, 14, 14, (240, 200, 60))
    c.fill(9, 8, 8, 8, PLAYER_BAR if active else PLAYER_BAR_OFF)
    c.text(28, 3, "QV Movie Player Demo", WHITE)
    c.bevel(753, 2, 22, 20)
    c.fill(758, 15, 12, 3, BLACK)
    c.bevel(777, 2, 22, 20, face=CLOSE_RED)
    for n in range(10):  # the cross of the close box
        c.fill(783 + n, 7 + n, 2, 1, WHITE)
        c.fill(792 - n, 7 + n, 2, 1, WHITE)


def draw_icon(c, name, x, y, selected=False):
    if name == "Notes":
        c.fill(x + 6, y, 20, 28, WHITE)
        c.box(x + 6, y, 20, 28, DARK)
        for n in range(5):
            c.fill(x + 9, y + 6 + n * 4, 14, 1, (90, 110, 160))
    elif name == "Mail":
        c.fill(x, y + 6, 32, 20, (250, 246, 230))
        c.box(x, y + 6, 32, 20, DARK)
        for n in range(15):
            c.fill(x + 1 + n, y + 7 + n * 2 // 3, 2, 1, DARK)
            c.fill(x + 29 - n, y + 7 + n * 2 // 3, 2, 1, DARK)
    else:
        c.fill(x + 6, y + 4, 20, 3, (170, 170, 170))
        c.fill(x + 8, y + 8, 16, 20, (150, 150, 150))
        for n in range(3):
            c.fill(x + 11 + n * 4, y + 10, 2, 16, (110, 110, 110))
    label_x = x + 16 - text_width(name, 1) // 2
    c.fill(label_x - 2, y + 33, text_width(name, 1) + 4, 11, SELECT if selected else desktop_colour(y + 33))
    c.text(label_x, y + 34, name, WHITE, 1)


def desktop_colour(y):
    top, bottom = (54, 110, 140), (24, 62, 92)
    n, h = y - PLAYER_BAR_H, TASKBAR_Y - PLAYER_BAR_H
    return tuple(t + (b - t) * n // (h - 1) for t, b in zip(top, bottom))


def draw_desktop(c):
    for y in range(PLAYER_BAR_H, TASKBAR_Y):
        c.fill(0, y, W, 1, desktop_colour(y))
    for name, x, y in ICONS:
        draw_icon(c, name, x, y)
    c.fill(0, TASKBAR_Y, W, H - TASKBAR_Y, FACE)
    c.fill(0, TASKBAR_Y + 1, W, 1, LIGHT)
    c.bevel(4, TASKBAR_Y + 4, 76, 22)
    c.text(12, TASKBAR_Y + 7, "Start", BLACK)
    draw_clock(c, "9:41")


def draw_clock(c, time_text):
    c.bevel(722, TASKBAR_Y + 4, 74, 22, raised=False)
    c.text(759 - text_width(time_text) // 2, TASKBAR_Y + 7, time_text, BLACK)


def draw_task_button(c, pressed):
    c.bevel(86, TASKBAR_Y + 4, 150, 22, raised=not pressed,
            face=(230, 228, 222) if pressed else FACE)
    c.text(96, TASKBAR_Y + 7, "Notes", BLACK)


def draw_app_title(c, title, active=True):
    left, right = (APP_BAR, APP_BAR_END) if active else (APP_BAR_OFF, (192, 192, 192))
    c.gradient_cols(WIN_X + 2, APP_TITLE_Y, WIN_W - 4, 22, left, right)
    c.text(WIN_X + 8, APP_TITLE_Y + 3, title, WHITE)
    for n, x in enumerate((WIN_X + WIN_W - 62, WIN_X + WIN_W - 42, WIN_X + WIN_W - 22)):
        c.bevel(x, APP_TITLE_Y + 3, 18, 16)
        if n == 0:
            c.fill(x + 4, APP_TITLE_Y + 13, 8, 2, BLACK)
        elif n == 1:
            c.box(x + 4, APP_TITLE_Y + 6, 10, 9, BLACK)
            c.fill(x + 4, APP_TITLE_Y + 7, 10, 1, BLACK)
        else:
            for k in range(8):
                c.fill(x + 5 + k, APP_TITLE_Y + 7 + k, 2, 1, BLACK)
                c.fill(x + 11 - k, APP_TITLE_Y + 7 + k, 2, 1, BLACK)


def draw_menu_item(c, index, state):
    """state: "plain", "hover" (raised) or "open" (highlighted)."""
    name, x = MENUS[index]
    c.fill(x, MENU_Y + 1, MENU_ITEM_W, 22, FACE)
    if state == "hover":
        c.bevel(x, MENU_Y + 1, MENU_ITEM_W, 22)
    elif state == "open":
        c.fill(x, MENU_Y + 1, MENU_ITEM_W, 22, SELECT)
    c.text(x + 7, MENU_Y + 4, name, WHITE if state == "open" else BLACK)


def draw_status(c, text):
    c.fill(DOC_X, STATUS_Y + 2, DOC_W, 22, FACE)
    c.bevel(DOC_X + 2, STATUS_Y + 3, 300, 20, raised=False)
    c.text(DOC_X + 8, STATUS_Y + 5, text, BLACK)


def draw_app_window(c, title):
    c.bevel(WIN_X, WIN_Y, WIN_W, WIN_H)
    draw_app_title(c, title)
    for n in range(len(MENUS)):
        draw_menu_item(c, n, "plain")
    c.fill(WIN_X + 4, MENU_Y + 24, WIN_W - 8, 1, SHADOW)
    c.fill(DOC_X - 2, DOC_Y - 2, DOC_W + 4, 2, SHADOW)
    c.fill(DOC_X - 2, DOC_Y, 2, DOC_H, SHADOW)
    c.fill(DOC_X, DOC_Y, DOC_W, DOC_H, WHITE)
    draw_status(c, "Line 1")


def draw_dropdown(c, index, items, hot):
    """A pulled-down menu under menu bar item index; hot is the highlighted
    entry or -1. "-" entries are separators."""
    x, y = MENUS[index][1], MENU_Y + 24
    w = 12 * max(len(item) for item in items) + 40
    h = 6 + sum(8 if item == "-" else 24 for item in items)
    c.bevel(x, y, w, h)
    top = y + 3
    for n, item in enumerate(items):
        if item == "-":
            c.fill(x + 4, top + 3, w - 8, 1, SHADOW)
            c.fill(x + 4, top + 4, w - 8, 1, LIGHT)
            top += 8
            continue
        if n == hot:
            c.fill(x + 3, top, w - 6, 24, SELECT)
        c.text(x + 20, top + 4, item, WHITE if n == hot else BLACK)
        top += 24


def dropdown_entry_y(items, n):
    """Movie y of the middle of entry n of a dropdown."""
    top = MENU_Y + 24 + 3
    for item in items[:n]:
        top += 8 if item == "-" else 24
    return top + 12


def draw_dialog(c, pressed=False):
    x, y, w, h = DIALOG
    c.fill(x + 4, y + 4, w, h, (40, 40, 40))     # a hard shadow
    c.bevel(x, y, w, h)
    c.gradient_cols(x + 3, y + 3, w - 6, 22, APP_BAR, APP_BAR_END)
    c.text(x + 9, y + 6, "Notes", WHITE)
    c.fill(x + 26, y + 48, 32, 32, (40, 90, 200))  # the round-ish "i" sign
    for corner in ((0, 0), (28, 0), (0, 28), (28, 28)):
        c.fill(x + 26 + corner[0], y + 48 + corner[1], 4, 4, FACE)
    c.fill(x + 40, y + 53, 4, 4, WHITE)
    c.fill(x + 40, y + 60, 4, 14, WHITE)
    c.text(x + 76, y + 50, "Your letter has", BLACK)
    c.text(x + 76, y + 74, "been saved.", BLACK)
    bx, by, bw, bh = OK_BUTTON
    c.box(bx, by, bw, bh, BLACK)                    # the default button's rim
    c.bevel(bx + 1, by + 1, bw - 2, bh - 2, raised=not pressed)
    shift = 1 if pressed else 0
    c.text(bx + bw // 2 - text_width("OK") // 2 + shift, by + 8 + shift, "OK", BLACK)
    c.box(bx + 6, by + 6, bw - 12, bh - 12, SHADOW)  # the focus outline


# ---------------------------------------------------------------------------
# The movie being recorded: a scene that changes in place, a pointer on top.

class Recorder:
    def __init__(self, out_dir):
        self.out_dir = out_dir
        self.scene = Canvas()
        self.pointer = (600, 420)
        self.entries = []        # list-file lines
        self.written = {}        # picture digest -> file name
        self.frame_count = 0
        self.click_frames = []
        os.makedirs(os.path.join(out_dir, "frames"), exist_ok=True)

    def picture(self, overlay=None):
        shot = self.scene.copy()
        if overlay:
            overlay(shot)
        x, y = self.pointer
        shot.sprite(x, y, ARROW, {"X": BLACK, "o": WHITE})
        return shot

    def store(self, canvas):
        data = png_bytes(canvas)
        digest = hashlib.sha1(data).digest()
        if digest not in self.written:  # a repeated picture is listed again, not written again
            name = "frames/f%04d.png" % len(self.written)
            with open(os.path.join(self.out_dir, name), "wb") as f:
                f.write(data)
            self.written[digest] = name
        return self.written[digest]

    def shot(self, delay_ms, overlay=None):
        self.entries.append(list_line(self.store(self.picture(overlay)), delay_ms))
        self.frame_count += 1

    def click_shot(self, region):
        x, y, w, h = region
        self.entries.append(list_line(self.store(self.picture()), (x, y, x + w - 1, y + h - 1)))
        self.click_frames.append(self.frame_count)
        self.frame_count += 1

    def move(self, to, steps, delay_ms=40, last_delay_ms=None):
        """Eases the pointer to `to` over `steps` frames (slow, fast, slow),
        with integer arithmetic so every run lands on the same pixels."""
        (fx, fy), (tx, ty) = self.pointer, to
        for i in range(1, steps + 1):
            num, den = i * i * (3 * steps - 2 * i), steps ** 3
            self.pointer = (fx + (tx - fx) * num // den, fy + (ty - fy) * num // den)
            self.shot(last_delay_ms if i == steps and last_delay_ms else delay_ms)


class Document:
    """The text area of the notes window: typed characters and the caret."""

    def __init__(self, rec):
        self.rec, self.line, self.col = rec, 0, 0
        self.rng = Lcg(20240607)

    def cell(self, line, col):
        return TEXT_X + col * CELL_W * 2, TEXT_Y + line * LINE_PITCH

    def caret(self, shown):
        x, y = self.cell(self.line, self.col)
        self.rec.scene.fill(x - 2, y - 1, 2, 19, INK if shown else WHITE)

    def status(self):
        # Line only: a column count would make the status rows new on every key.
        draw_status(self.rec.scene, "Line %d" % (self.line + 1))

    def type(self, text, on_first=None):
        """One frame per key. "\n" ends a line, "\b" rubs out a character."""
        previous = ""
        for char in text:
            scene = self.rec.scene
            self.caret(False)
            if char == "\n":
                self.line, self.col = self.line + 1, 0
                delay = 280 + self.rng.below(160)
            elif char == "\b":
                self.col -= 1
                x, y = self.cell(self.line, self.col)
                scene.fill(x, y, CELL_W * 2, 20, WHITE)
                delay = 160
            else:
                x, y = self.cell(self.line, self.col)
                scene.text(x, y, char, INK)
                self.col += 1
                delay = 45 + self.rng.below(60)
                if char == " ":
                    delay += 25
                if previous in ".,!?":
                    delay += 120
            self.caret(True)
            self.status()
            if on_first:
                on_first()
                on_first = None
            self.rec.shot(delay)
            previous = char


def build(out_dir):
    rec = Recorder(out_dir)
    scene = rec.scene
    doc = Document(rec)
    title = "Notes - letter.txt"

    # An idle desktop; the pointer drifts to the notes icon and opens it.
    draw_desktop(scene)
    draw_player_bar(scene)
    rec.shot(1500)
    rec.move((40, 54), 20, 40, 300)
    draw_icon(scene, "Notes", 24, 40, selected=True)
    rec.shot(180)
    rec.shot(120)
    for step in range(1, 6):  # the window grows out of the icon
        def outline(c, step=step):
            x = 30 + (WIN_X - 30) * step // 5
            y = 40 + (WIN_Y - 40) * step // 5
            w = 28 + (WIN_W - 28) * step // 5
            h = 30 + (WIN_H - 30) * step // 5
            c.box(x, y, w, h, WHITE)
            c.box(x + 1, y + 1, w - 2, h - 2, SHADOW)
        rec.shot(40, outline)
    draw_icon(scene, "Notes", 24, 40, selected=False)
    draw_app_window(scene, title)
    draw_task_button(scene, pressed=True)
    doc.caret(True)
    rec.shot(700)
    rec.move((430, 300), 12, 40)
    rec.shot(120)
    rec.move((560, 440), 8, 40, 400)

    # The first paragraph, with a typo put right.
    def mark_changed():
        draw_app_title(scene, title + " *")
    doc.type("Dear Sam,\n\n", on_first=mark_changed)
    doc.type("Thanks for the photos from the trip. The lake\n")
    doc.type("looked wonderfull")
    rec.shot(600)
    doc.type("\b, and the boat even better.\n")
    doc.type("I will bring the map back on Monday.\n")
    rec.shot(900)

    # File, Save: the menu opens, the pointer runs down to Save.
    file_items = ["New", "Open...", "Save", "Save As...", "-", "Print...", "-", "Exit"]
    rec.move((146, 86), 14, 40)
    draw_menu_item(scene, 0, "hover")
    rec.shot(250)
    below_bar = scene.save(WIN_X, MENU_Y + 24, 300, 260)
    draw_menu_item(scene, 0, "open")
    draw_dropdown(scene, 0, file_items, -1)
    rec.shot(350)
    for entry in (0, 1, 2):
        target = (170, dropdown_entry_y(file_items, entry))
        draw_dropdown(scene, 0, file_items, entry)
        rec.move(target, 4, 50, 180 if entry < 2 else 450)
    scene.restore(WIN_X, MENU_Y + 24, below_bar)
    draw_menu_item(scene, 0, "plain")
    draw_app_title(scene, title)
    draw_status(scene, "Saved letter.txt")
    rec.shot(300)

    # The dialog: the pointer goes to OK and the movie waits for the viewer.
    under_dialog = scene.save(DIALOG[0], DIALOG[1], DIALOG[2] + 4, DIALOG[3] + 4)
    draw_dialog(scene)
    rec.shot(600)
    bx, by, bw, bh = OK_BUTTON
    rec.move((bx + bw - 30, by + bh - 14), 16, 40)
    rec.click_shot(OK_BUTTON)
    draw_dialog(scene, pressed=True)
    rec.shot(120)
    scene.restore(DIALOG[0], DIALOG[1], under_dialog)
    doc.caret(True)
    rec.shot(400)
    rec.move((600, 470), 10, 40, 300)

    # A closing and a postscript; the clock moves on meanwhile.
    doc.type("\nSee you soon,\nAlex\n\n", on_first=mark_changed)
    draw_clock(scene, "9:42")
    doc.type("P.S. The kids want to go back next summer!")
    rec.shot(1200)

    # The View menu opens, is looked through, and closes unused.
    view_items = ["Word Wrap", "Zoom In", "Zoom Out", "-", "Status Bar"]
    rec.move((282, 86), 14, 40)
    draw_menu_item(scene, 2, "hover")
    rec.shot(200)
    below_bar = scene.save(WIN_X, MENU_Y + 24, 400, 200)
    draw_menu_item(scene, 2, "open")
    draw_dropdown(scene, 2, view_items, -1)
    rec.shot(300)
    for entry in (0, 1, 2, 4):
        draw_dropdown(scene, 2, view_items, entry)
        rec.move((310, dropdown_entry_y(view_items, entry)), 4, 50, 220)
    draw_dropdown(scene, 2, view_items, -1)
    rec.move((560, 330), 10, 40, 250)
    scene.restore(WIN_X, MENU_Y + 24, below_bar)
    draw_menu_item(scene, 2, "plain")
    rec.shot(500)
    rec.move((700, 470), 8, 40)
    rec.shot(3000)
    return rec


def inactive_picture(rec):
    """What the viewer sees while the player is in the background: the notes
    window dimmed, with a note on how to come back. The player shows the text
    area live through it."""
    c = Canvas()
    draw_desktop(c)
    draw_player_bar(c, active=False)
    draw_app_window(c, "Notes - letter.txt")
    draw_app_title(c, "Notes - letter.txt", active=False)
    draw_task_button(c, pressed=False)
    draw_status(c, "")
    dim = bytes(40 + v * 50 // 100 for v in range(256))
    c.buf = bytearray(c.buf.translate(dim))
    note = "Click to resume the demo"
    w = text_width(note) + 32
    x = (W - w) // 2
    c.fill(x + 4, 56, w, 40, (30, 30, 30))
    c.fill(x, 52, w, 40, NOTE_YELLOW)
    c.box(x, 52, w, 40, (120, 100, 30))
    c.text(x + 16, 62, note, BLACK)
    return c


HEADER = [
    "SplashText",
    "040",
    "040 QV Movie Player Demo",
    "030",
    "027 Typing, a menu and a dialog",
    "005",
    "027 Click OK when the movie waits",
    "030",
    "EndSplashText",
    'WindowText "QV Movie Player Demo"',
    "TitleBarHeight 24",
    "CloseRightEdge 24",
    "InactiveUpperLeft %d %d" % (DOC_X, DOC_Y),
    "InactiveWidHeight %d %d" % (DOC_W, DOC_H),
]


def main(argv):
    if len(argv) != 2:
        print("usage: make_demo.py OUTDIR", file=sys.stderr)
        return 2
    out_dir = argv[1]
    started = time.monotonic()
    os.makedirs(out_dir, exist_ok=True)
    rec = build(out_dir)
    with open(os.path.join(out_dir, "inactive.png"), "wb") as f:
        f.write(png_bytes(inactive_picture(rec)))
    with open(os.path.join(out_dir, "demo.list"), "w", newline="\n") as f:
        f.write("# The demo movie: one line per frame, picture and delay in ms,\n"
                "# or picture and the click region that ends the frame.\n")
        f.write("inactive inactive.png\n")
        f.write("\n".join(rec.entries) + "\n")
    write_header(os.path.join(out_dir, "demo.header"), HEADER)
    print("make_demo: %d frames (%d distinct pictures), click frame %s, %.1f s -> %s"
          % (rec.frame_count, len(rec.written), ",".join(map(str, rec.click_frames)),
             time.monotonic() - started, out_dir))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
