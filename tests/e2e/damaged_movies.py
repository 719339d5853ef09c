"""Helpers for the damaged-movie tests: movies built with qvm and then damaged
byte by byte, the flow's lines with their offsets (worked out here, not by
the player), the pictures a damaged movie must show, and driving the player
through a movie frame by frame. Not a test file itself."""
import os
import re

from harness import Failure, check, check_equal, wait_until
from images import Image
from movies import movie_offsets

PLAYER = "QV_MoviePlayer.exe"
TITLE = "Damaged Movie"
HEADER = ['WindowText "%s"' % TITLE, "HomeFrame \"000000\""]
HOLD_MS = 60000          # a frame the test leaves with Return, long before its delay ends
SYSTEM_MODAL_ERROR = 0x1010


# ---------------------------------------------------------------- movies

def build(t, name, frames, header=HEADER, inactive=None):
    """A .QVM movie, as bytes. frames: (picture, timing) pairs, the timing a
    delay in milliseconds or a click rectangle (x1, y1, x2, y2); inactive:
    the picture of an inactive record."""
    out = t.qvm.build_list(os.path.join(t.folder("src-" + name), "movie.QVM"), frames, header,
                           inactive)
    with open(out, "rb") as f:
        return f.read()


def place(t, name, data, movie="Movie.QVM"):
    """A folder holding the plain player and the movie file; returns the
    player's path and the movie's."""
    folder = t.folder(name)
    player = t.copy_player(folder, PLAYER)
    path = os.path.join(folder, movie)
    with open(path, "wb") as f:
        f.write(data)
    return player, path


def bundle(t, name, data):
    """A folder holding the player with the movie appended; returns the
    bundle's path and its bytes."""
    src = os.path.join(t.folder("src-bundle-" + name), "movie.QVM")
    with open(src, "wb") as f:
        f.write(data)
    exe = t.qvm.bundle(t.player, src, os.path.join(t.folder(name), PLAYER))
    with open(exe, "rb") as f:
        return exe, f.read()


class Line:
    """One flow line: its offset, its text without the line end, and the
    offset just past its line end."""

    def __init__(self, offset, text, after):
        self.offset, self.text, self.after = offset, text, after

    def __repr__(self):
        return "<Line %d %r>" % (self.offset, self.text[:20])


def flow_lines(data):
    """The lines of a movie file's flow (from byte 0 up to the end byte)."""
    _, end, _, _ = movie_offsets(data, appended=False)
    lines, at = [], 0
    while at < end:
        lf = data.find(b"\n", at, end)
        after = end if lf < 0 else lf + 1
        text = data[at:after].rstrip(b"\n")
        if text.endswith(b"\r"):
            text = text[:-1]
        lines.append(Line(at, text, after))
        at = after
    return lines


def frame_line(data, n):
    """The frame line of frame n (qvm names frames 000000, 000001, ...)."""
    name = b"~%06d" % n
    found = [line for line in flow_lines(data) if line.text == name]
    check(len(found) == 1, "the movie has no single frame line %r" % name)
    return found[0]


def line_after(data, line):
    """The flow line that follows line."""
    return next(other for other in flow_lines(data) if other.offset == line.after)


def row_code(index):
    """The four characters that name stack row index in a row list."""
    return bytes(43 + index // 80 ** k % 80 for k in (3, 2, 1, 0))


def replace(data, offset, new):
    return data[:offset] + new + data[offset + len(new):]


def cut_flow(data, at):
    """The flow cut at byte `at`; the end byte, width field and stack stay."""
    _, end, _, _ = movie_offsets(data, appended=False)
    check(at <= end, "a cut beyond the flow")
    return data[:at] + data[end:]


# ---------------------------------------------------------------- pictures

def overlay(canvas, picture, rows_held):
    """What a canvas holds after a row list is loaded over it: canvas is the
    picture it held (a list of row byte strings, 3 bytes a pixel), picture
    the frame's rows, rows_held[i] how many leading pixels of row i the
    stack still holds (a row left out: all of them)."""
    row_bytes = picture.width * 3
    out = list(canvas)
    for i in range(picture.height):
        held = rows_held.get(i, picture.width)
        new = picture.rgb[i * row_bytes:(i + 1) * row_bytes]
        out[i] = new[:held * 3] + out[i][held * 3:]
    return out


def black_canvas(width, height):
    return [bytes(width * 3)] * height


def canvas_picture(canvas, width, height):
    return Image(width, height, b"".join(row[:width * 3] for row in canvas[:height]))


# ---------------------------------------------------------------- the player

def start(t, player):
    """The player with an argument, so it does not wait for a click on the splash."""
    return t.session.start(player, ["go"])


def player_window(t, run):
    return t.session.find_window(TITLE, run=run)


def expect_frames(t, run, pictures, first=0):
    """Checks each picture in turn as frame first, first + 1, ...; Return
    moves on from each frame but the last. Returns the player window."""
    wid = player_window(t, run)
    for k, picture in enumerate(pictures):
        if k:
            t.session.send_key(wid, "Return")
        expect_picture(t, run, wid, first + k, picture)
    return wid


def expect_picture(t, run, wid, n, picture):
    """Waits for frame n's console line (qvm names frame n "%06d" % n), then
    for the window to show the picture."""
    run.wait_for_stdout(r"Frame %d: %06d\n" % (n, n))
    state = {"shown": None}

    def drawn():
        x, y, width, height = state["rect"] = t.session.window_rect(wid)
        screen_wid, screen_hgt = t.session.screen
        if x + width > screen_wid or y + height > screen_hgt:
            return False  # a window reaching beyond the screen is not this picture
        state["shown"] = t.session.screenshot().crop(x, y, width, height)
        return state["shown"] == picture
    try:
        wait_until(drawn, 5, "frame %d to be drawn" % n)
    except Failure as failure:
        shown = state["shown"]
        if shown is None:
            raise Failure("%s: the window is %dx%d at %d,%d, not the %dx%d picture"
                          % ((failure,) + state["rect"][2:] + state["rect"][:2]
                             + (picture.width, picture.height)))
        kept = t.session.keep_pictures("%s-frame%d" % (run.name, n), shown, picture)
        raise Failure("%s: frame %d shows %r, %d pixels differ from the expected %r; "
                      "pictures in %s-*.png" % (failure, n, shown, shown.differing_pixels(picture),
                                               picture, kept))


def end_with_escape(t, run, wid):
    """Escape ends playback normally: exit code 0, no crash."""
    t.session.send_key(wid, "Escape")
    result = run.wait(10)
    check_equal(result.code, 0, "exit code after Escape")
    return result


# ---------------------------------------------------------------- qvm info

def info(t, path):
    """qvm info's exit code and output; a crash of qvm fails the case."""
    out = t.qvm("info", path, codes=(0, 1))
    return t.qvm.code, out


def info_reports(t, path, offset, words, code=1, kind="problem"):
    """qvm info exits with code and names the problem (or warning) at offset,
    its text holding words."""
    got, out = info(t, path)
    check_equal(got, code, "qvm info's exit code for %s; it wrote:\n%s" % (path, out))
    pattern = r"^%s at offset %d: .*%s" % (kind, offset, re.escape(words))
    check(re.search(pattern, out, re.M), "qvm info does not report %s at offset %d (%r); "
          "it wrote:\n%s" % (kind, offset, words, out))
