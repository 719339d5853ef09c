"""What the player writes on its standard output, and Wine on the standard
error of a program that crashed, read alike by the e2e tests, bench-wine and
the demo. Python standard library only.
"""
import re

# The player's line for each frame it presents: "Frame %d: %s" with the
# frame's name, or NoFrame past the end. The start-up's wait dots have no
# line end, so they may stand before it on its line.
FRAME_LINE = re.compile(r"Frame (-?\d+): ([^\r\n]*)")

# A crash is told by Wine's words on standard error, not by the exit code:
# it usually exits 5, but once exited 0.
CRASH_SIGNS = ("Unhandled", "starting debugger")


def frame_lines(text):
    """(frame number, name) of every frame line, in order."""
    return [(int(n), name) for n, name in FRAME_LINE.findall(text)]


def crashed(stderr):
    return any(sign in stderr for sign in CRASH_SIGNS)


def read_text(path):
    """A program's output file so far, its CR LF line ends (msvcrt's text
    mode) turned into LF."""
    with open(path, "rb") as f:
        return f.read().decode("latin-1").replace("\r\n", "\n")
