"""Playback of the real player: frames follow one another on their clock, the
window shows each frame exactly as qvm renders it, and the keys pause, step,
jump, skip a delay, draw the frame banner and switch looping."""
import os
import time

from harness import check, check_equal, main, wait_until
from images import Image
from movies import banded
from runs import frame_lines, wait_for_frame

LONG_MS = 100000          # a delay no test waits out
BANNER_RED = (255, 0, 0)  # the banner's background; no test picture holds it


def distinct_frames(count, width, height):
    """count pictures that all differ, cheap to make: four banded pictures in
    turn, each frame's own colour in its top three rows."""
    bases = [banded(width, height, seed) for seed in range(4)]
    row = width * 3
    pictures = []
    for n in range(count):
        colour = bytes((40 + n % 200, 40 + (n // 200) * 60, 140))
        pictures.append(Image(width, height, colour * (width * 3) + bases[n % 4].rgb[3 * row:]))
    return pictures


def name_of(n, last):
    return "%06d" % n if n <= last else "NoFrame"


def check_in_order(lines, first, last, what):
    """Frame lines of plain playback: from frame first on, each line names the
    frame before it again or the next one (a repaint repeats a frame, nothing
    skips one), each with its own name."""
    check(lines and lines[0][0] == first, "%s: expected to start at frame %d, got %s"
          % (what, first, lines))
    for (before, _), (n, name) in zip(lines, lines[1:]):
        check(n in (before, before + 1), "%s: frame %d after frame %d in %s"
              % (what, n, before, lines))
    for n, name in lines:
        check_equal(name, name_of(n, last), "%s: the name on the line of frame %d" % (what, n))


def banner_box(picture):
    """(left, top, right, bottom) of the banner's red pixels, or None."""
    xs, ys = [], []
    for y in range(min(picture.height, 40)):
        for x in range(picture.width):
            if picture.pixel(x, y) == BANNER_RED:
                xs.append(x)
                ys.append(y)
    return (min(xs), min(ys), max(xs), max(ys)) if xs else None


def wait_for_banner(session, wid, what):
    """The window's picture once it shows the banner."""
    def look():
        picture = session.window_picture(wid)
        return picture if banner_box(picture) else None
    return wait_until(look, 5, "the banner (%s)" % what)


def check_banner(picture, shown_wid, what):
    """The banner sits at y 4 and ends 80 movie pixels left of the picture's
    right edge (a 1:1 picture here)."""
    box = banner_box(picture)
    check(box is not None, "%s: no banner (no red pixels at the top of the picture)" % what)
    left, top, right, bottom = box
    check_equal((top, right), (4, shown_wid - 81),
                "%s: the banner's top row and right column" % what)
    check(10 <= bottom - top <= 30 and right - left > 60,
          "%s: the banner's red box %s is not one line of text" % (what, box))


class Viewer:
    """Drives one run of the player by keys and follows its frame lines and
    its picture: every step says which frame must come, and the window must
    then show that frame exactly as qvm renders it."""

    def __init__(self, t, run, wid, movie, last, width):
        self.t, self.run, self.wid, self.movie, self.last, self.width = (
            t, run, wid, movie, last, width)
        self.renders = {}
        # Frame lines taken so far, and the frame the window shows.
        self.seen, self.current = 0, 0

    def render(self, n):
        if n not in self.renders:
            self.renders[n] = self.t.qvm.frame(self.movie, n)
        return self.renders[n]

    def new_lines(self):
        return frame_lines(self.run.stdout())[self.seen:]

    def expect(self, n, what, shown=None):
        """Frame n's line must come next (after repeats of the current frame),
        then the window must show frame `shown` (n unless said otherwise)."""
        lines = wait_for_frame(self.run, n, self.seen)
        stray = [line for line in lines[:-1] if line[0] != self.current]
        check(not stray, "%s: expected frame %d next, got the frame lines %s" % (what, n, lines))
        check_equal(lines[-1][1], name_of(n, self.last), "%s: the name on the line of frame %d"
                    % (what, n))
        shown = n if shown is None else shown
        self.t.session.expect_picture(self.wid, self.render(shown), what="%s: the window" % what)
        self.seen += len(lines)
        self.current = shown

    def press(self, key, n, shown=None):
        self.t.session.send_key(self.wid, key)
        self.expect(n, key, shown)

    def nothing(self, *keys):
        """The keys change nothing: F1 after them draws the banner on the same
        frame and no other frame line comes first; F1 again takes it away."""
        what = "after %s" % " ".join(keys or ["nothing"])
        if keys:
            self.t.session.send_key(self.wid, *keys)
        self.t.session.send_key(self.wid, "F1")
        picture = wait_for_banner(self.t.session, self.wid, what + ", F1")
        lines = [line for line in self.new_lines() if line[0] >= 0]
        check(lines and all(n == self.current for n, _ in lines),
              "%s and F1: expected only lines of frame %d, got %s" % (what, self.current, lines))
        check_banner(picture, self.width, what)
        self.seen = len(frame_lines(self.run.stdout()))
        self.press("F1", self.current)


def plays_through(t):
    """frames follow in order on their delays, the last one stays, then NoFrame; Esc ends with 0"""
    folder = t.folder("through")
    pictures = distinct_frames(6, 64, 40)
    movie = t.qvm.build(os.path.join(folder, "Through.QVM"), pictures,
                        header=['WindowText "Through"'], delay_ms=160)
    player = t.copy_player(folder)
    run, wid = t.session.start_player(player, "Through")
    check_equal(t.session.window_rect(wid), (40, 40, 64, 40), "the window's place and size")
    wait_for_frame(run, 1, timeout=15)
    started = time.monotonic()
    lines = wait_for_frame(run, 6, timeout=15)
    elapsed = time.monotonic() - started
    check_in_order(lines, 0, 5, "playback")
    check_equal(lines[-1], (6, "NoFrame"), "the line after the last frame")
    # Five delays of 160 ms less the clock's 25 ms allowance lie between the
    # lines of frame 1 and NoFrame; polling may see the first one late.
    check(elapsed >= 0.55, "frames 1 to the end took %.2f s, less than their delays" % elapsed)
    t.session.expect_picture(wid, t.qvm.frame(movie, 5), what="the window after the end")
    check(run.alive(), "the player ended after the last frame")
    print("  frames 0..5 in order, then NoFrame after %.2f s; the last picture stays" % elapsed)
    t.session.send_key(wid, "Escape")
    result = run.wait(10)
    check_equal(result.code, 0, "exit code after Esc")
    check_equal(frame_lines(result.stdout)[-1], (6, "NoFrame"), "the last frame line")
    print("  Esc: exit code 0")


def keys(t):
    """Space, Enter, Left, Right, Page Up/Down, Home and F1, playing and paused, each picture as qvm renders it"""
    count, width, height = 250, 400, 40
    last = count - 1
    folder = t.folder("keys")
    pictures = distinct_frames(count, width, height)
    # Frame 0 moves on by itself, the rest wait for the keys.
    timings = [400] + [LONG_MS] * last
    movie = t.qvm.build_list(os.path.join(folder, "Keys.QVM"), list(zip(pictures, timings)),
                             header=['WindowText "Keys"'])
    player = t.copy_player(folder)
    run, wid = t.session.start_player(player, "Keys")
    v = Viewer(t, run, wid, movie, last, width)
    v.expect(1, "playing from frame 0")
    print("  frame 0 moved on to frame 1 by itself")

    # Playing: the moves wait for a pause; Enter skips the delay.
    v.nothing("Right", "Left", "Next", "Prior")
    v.press("Return", 2)
    print("  playing: Right, Left, Page Down, Page Up change nothing; Enter shows frame 2")

    # Space pauses and steps; paused, Enter does nothing and the moves move.
    v.press("space", 3)
    v.nothing("Return")
    v.press("Right", 4)
    v.press("Left", 3)
    v.press("Next", 103)
    v.press("Next", 203)
    v.press("Next", last)
    v.press("Right", last + 1, shown=last)
    v.press("Left", last - 1)
    v.press("Prior", last - 101)
    v.press("Prior", last - 201)
    v.press("Prior", 0)
    v.nothing("Left")
    print("  paused: Space steps to 3, Right/Left by one, Page Down by 100 up to the last, "
          "Right past it NoFrame, Page Up by 100 down to 0, Left at 0 nothing")

    # Space at the last frame shows it again and never wraps.
    v.press("Next", 100)
    v.press("Next", 200)
    v.press("Next", last)
    v.press("space", last)
    v.nothing()
    print("  Space at the last frame shows it again; playing on, no wrap")

    # Home while playing: frame 0, and playing goes on from there.
    v.press("Home", 0)
    v.expect(1, "playing on after Home")
    v.press("space", 2)
    v.press("Home", 0)
    # Frame 0's clock runs out while paused and must not move on.
    time.sleep(0.6)
    v.nothing()
    print("  Home: frame 0, playing on while playing, staying while paused")
    t.session.send_key(wid, "Escape")
    check_equal(run.wait(10).code, 0, "exit code after Esc")


def looping(t):
    """F2 while playing turns looping on (box, restart at 0, wrap at the end); while paused it only reports"""
    on = t.session.reference_box("Looping is ON", "QV_MoviePlayer", 0)
    off = t.session.reference_box("Looping is OFF", "QV_MoviePlayer", 0)
    folder = t.folder("looping")
    width = 400
    pictures = distinct_frames(4, width, 30)
    # Frame 2 holds playback, so each key below meets a known frame.
    movie = t.qvm.build_list(os.path.join(folder, "Loop.QVM"),
                             list(zip(pictures, [250, 250, LONG_MS, 250])),
                             header=['WindowText "Looping"', "HelpOn"])
    run, wid = t.session.start_player(t.copy_player(folder), "Looping")
    # HelpOn in the header: the banner from the first frame on.
    picture = wait_for_banner(t.session, wid, "HelpOn")
    check_banner(picture, width, "HelpOn")
    seen = len(wait_for_frame(run, 2))

    # Looping on while playing: back to frame 0 at once, playing on.
    t.session.send_key(wid, "F2")
    t.session.expect_box(run, on)
    zero = seen + len(wait_for_frame(run, 0, seen)) - 1
    wait_for_frame(run, 2, zero + 1)
    restarted = frame_lines(run.stdout())[seen:]
    check_equal([n for n, _ in restarted if n != 2][:1], [0], "the first frame after F2 at frame 2")
    check_in_order(frame_lines(run.stdout())[zero:], 0, 3, "after F2")
    print("  F2 at frame 2: box %r, frame 0 at once, played on to frame 2" % on.text)

    # A click brings the player back to the foreground for the keys. Enter
    # skips frame 2's delay; after the last frame comes frame 0 again.
    t.session.click(wid, 150, 25)
    seen = len(frame_lines(run.stdout()))
    t.session.send_key(wid, "Return")
    zero = seen + len(wait_for_frame(run, 0, seen)) - 1
    wait_for_frame(run, 2, zero + 1)
    wrapped = frame_lines(run.stdout())[seen:]
    check_equal([n for n, _ in wrapped if n != 2][:2], [3, 0], "the frames after Enter at frame 2")
    check_in_order(frame_lines(run.stdout())[zero:], 0, 3, "after the wrap")
    print("  looping: frame 3, then frame 0 again, no NoFrame")

    # Looping off and on again while paused: reported, and the frame stays.
    seen = len(frame_lines(run.stdout()))
    t.session.send_key(wid, "space")
    wait_for_frame(run, 3, seen)
    for box, banner in ((off, False), (on, True)):
        t.session.send_key(wid, "F2")
        t.session.expect_box(run, box)
        t.session.click(wid, 150, 25)
        t.session.send_key(wid, "F1")
        wait_until(lambda: bool(banner_box(t.session.window_picture(wid))) == banner, 5,
                   "F1 to turn the banner %s" % ("on" if banner else "off"))
        lines = frame_lines(run.stdout())[seen:]
        check(lines and all(n == 3 for n, _ in lines),
              "paused at frame 3, F2 (%s) and F1: expected frame 3 to stay, got %s"
              % (box.text, lines))
    t.session.send_key(wid, "F1")
    t.session.expect_picture(wid, t.qvm.frame(movie, 3), what="the paused frame")
    print("  Space at frame 2: paused at 3; F2 twice: boxes %r and %r, no restart"
          % (off.text, on.text))

    # Playing on with looping on: the last frame is shown again, then frame 0.
    seen = len(frame_lines(run.stdout()))
    t.session.send_key(wid, "space")
    lines = wait_for_frame(run, 0, seen)
    check(all(n == 3 for n, _ in lines[:-1]) and lines[0][0] == 3,
          "the frames after Space at the last frame: %s" % lines)
    print("  Space: frame 3 again, then frame 0")
    t.session.send_key(wid, "Escape")
    check_equal(run.wait(10).code, 0, "exit code after Esc")


def replaced_while_playing(t):
    """another movie renamed over the playing one is read afresh: the next frames are its own"""
    folder = t.folder("replaced")
    width, height = 64, 40
    first = distinct_frames(3, width, height)
    path = os.path.join(folder, "Swap.QVM")
    t.qvm.build_list(path, [(p, LONG_MS) for p in first], header=['WindowText "Swap"'])
    run, wid = t.session.start_player(t.copy_player(folder), "Swap")
    wait_for_frame(run, 0)
    t.session.send_key(wid, "space")
    seen = len(wait_for_frame(run, 1))
    # Other pictures, and a longer header that moves every frame line and the stack.
    other = [Image(width, height, bytes(reversed(p.rgb))) for p in first]
    staged = os.path.join(t.folder("staged"), "Swap.QVM")
    t.qvm.build_list(staged, [(p, LONG_MS) for p in other],
                     header=['WindowText "Swap"', "xThe movie that came after"])
    os.replace(staged, path)
    t.session.send_key(wid, "Right")
    seen += len(wait_for_frame(run, 2, seen))
    wait_until(lambda: " Done" in run.stdout(), 5, "the movie indexed again")
    t.session.send_key(wid, "Right")
    wait_for_frame(run, 2, seen)
    t.session.expect_picture(wid, t.qvm.frame(path, 2), what="frame 2 of the new movie")
    print("  renamed over while paused: indexed again, frame 2 of the new movie shown")
    t.session.send_key(wid, "Escape")
    check_equal(run.wait(10).code, 0, "exit code after Esc")


if __name__ == "__main__":
    main("Playback and keys", [plays_through, keys, looping, replaced_while_playing])
