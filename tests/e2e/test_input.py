"""The pointer on the real player: frames that wait for a click inside their
rectangle, the title strip (drag, minimise, close), and the inactive picture
shown while another program is in the foreground."""
import os
import time

from harness import check, check_equal, main, wait_until
from images import Image
from movies import banded
from runs import frame_lines, wait_for_frame

LONG_MS = 100000
WIDTH, HEIGHT = 300, 200


def button_frame(seed, region):
    """A banded picture with the click rectangle drawn on it as a plain button."""
    picture = banded(WIDTH, HEIGHT, seed)
    x1, y1, x2, y2 = region
    rows = bytearray(picture.rgb)
    for y in range(y1, y2 + 1):
        start = (y * WIDTH + x1) * 3
        rows[start:start + (x2 - x1 + 1) * 3] = bytes((60, 90, 200)) * (x2 - x1 + 1)
    return Image(WIDTH, HEIGHT, rows)


class Pointer:
    """One run of the player, followed by its frame lines."""

    def __init__(self, t, run, wid):
        self.t, self.run, self.wid = t, run, wid
        self.seen = 0

    def lines(self):
        return frame_lines(self.run.stdout())[self.seen:]

    def advance(self, n, what):
        """Frame n's line comes next, after repeats of the frame before."""
        lines = wait_for_frame(self.run, n, self.seen)
        check(all(shown in (n - 1, n) for shown, _ in lines),
              "%s: expected frame %d next, got the frame lines %s" % (what, n, lines))
        self.seen += len(lines)

    def click(self, x, y):
        self.t.session.click(self.wid, x, y)

    def settle(self, frame, what):
        """Whatever came before has been handled: F1 redraws the frame with
        the banner; up to then only lines of the same frame may come."""
        self.t.session.send_key(self.wid, "F1")
        def banner():
            picture = self.t.session.window_picture(self.wid)
            return any(picture.pixel(x, 8) == (255, 0, 0) for x in range(0, picture.width, 2))
        wait_until(banner, 5, "the banner after F1 (%s)" % what)
        lines = self.lines()
        check(lines and all(n == frame for n, _ in lines),
              "%s: expected to stay at frame %d, got the frame lines %s" % (what, frame, lines))
        self.seen += len(lines)
        # The banner off again.
        self.t.session.send_key(self.wid, "F1")
        self.advance(frame, "F1 off")


def click_frames(t):
    """a click frame moves on only for clicks inside its rectangle, its edges included, playing or paused"""
    regions = [(50, 40, 120, 80), (10, 30, 60, 70), (5, 5, 15, 15), None,
               (0, 0, WIDTH - 1, HEIGHT - 1)]
    frames = []
    for n, region in enumerate(regions):
        if region:
            frames.append((button_frame(n, region), region))
        else:
            frames.append((banded(WIDTH, HEIGHT, n), LONG_MS))
    folder = t.folder("clicks")
    # No title strip: every click goes to the click test.
    movie = t.qvm.build_list(os.path.join(folder, "Clicks.QVM"), frames,
                             header=['WindowText "Clicks"', "TitleBarHeight 0"])
    run, wid = t.session.start_player(t.copy_player(folder), "Clicks")
    p = Pointer(t, run, wid)
    p.advance(0, "start")
    t.session.expect_picture(wid, t.qvm.frame(movie, 0))

    for x, y in ((49, 60), (121, 60), (80, 39), (80, 81)):
        p.click(x, y)
    p.settle(0, "clicks just outside frame 0's rectangle")
    p.click(120, 60)
    p.advance(1, "a click on the right edge")
    t.session.expect_picture(wid, t.qvm.frame(movie, 1))
    p.click(35, 71)
    p.settle(1, "a click below frame 1's rectangle")
    p.click(35, 70)
    p.advance(2, "a click on the bottom edge")
    print("  outside clicks ignored; clicks on the right and the bottom edge move on")

    # Paused: Space steps on to the timed frame 3, Left back to frame 2,
    # whose rectangle still counts.
    t.session.send_key(wid, "space")
    p.advance(3, "Space")
    t.session.send_key(wid, "Left")
    wait_for_frame(run, 2, p.seen)
    p.seen = len(frame_lines(run.stdout()))
    p.click(5, 5)
    p.advance(3, "a click on the top-left corner while paused")
    # A timed frame takes no click, not even inside the last rectangle.
    p.click(10, 10)
    p.settle(3, "a click on a timed frame")
    print("  paused: the top-left corner moves on; a timed frame ignores clicks")

    # The last frame waits for its click too; with looping off the click
    # asks for the frame after it, which does not exist.
    t.session.send_key(wid, "Right")
    p.advance(4, "Right")
    p.click(WIDTH - 1, HEIGHT - 1)
    lines = wait_for_frame(run, 5, p.seen)
    check_equal(lines[-1], (5, "NoFrame"), "the line after a click on the last frame")
    t.session.expect_picture(wid, t.qvm.frame(movie, 4), what="the window after NoFrame")
    print("  the last frame's click: NoFrame, the picture stays")
    t.session.send_key(wid, "Escape")
    check_equal(run.wait(10).code, 0, "exit code after Esc")


def strip_movie(t, name):
    folder = t.folder(name)
    whole = (0, 0, WIDTH - 1, HEIGHT - 1)
    movie = t.qvm.build_list(
        os.path.join(folder, "Strip.QVM"),
        [(banded(WIDTH, HEIGHT, 1), whole), (banded(WIDTH, HEIGHT, 2), whole),
         (banded(WIDTH, HEIGHT, 3), LONG_MS)],
        header=['WindowText "Strip"', "TitleBarHeight 24", "CloseRightEdge 24"])
    return movie, t.copy_player(folder)


def title_strip(t):
    """the title strip: a drag moves the window, its client column clicks, the minimise area minimises"""
    movie, player = strip_movie(t, "strip")
    run, wid = t.session.start_player(player, "Strip")
    p = Pointer(t, run, wid)
    p.advance(0, "start")
    check_equal(t.session.window_rect(wid), (40, 40, WIDTH, HEIGHT), "the window's place and size")

    # The strip drags the window; a drag is no click.
    session = t.session
    session.x("xdotool", "mousemove", "--window", str(wid), "100", "10", "mousedown", "1")
    session.x("xdotool", "mousemove_relative", "--sync", "30", "20")
    session.x("xdotool", "mouseup", "1")
    wait_until(lambda: session.window_rect(wid)[:2] == (70, 60), 5,
               "the window to move to (70, 60)")
    p.settle(0, "a drag by the strip")
    print("  a drag by the strip moved the window to (70, 60)")

    # Left of the minimise area the last column of the strip is the client's.
    p.click(WIDTH - 3 * 24, 10)
    p.advance(1, "a click at the strip's client column")
    print("  a click at x %d in the strip reached the click frame" % (WIDTH - 3 * 24))

    # The minimise area's right edge (the close area starts one further).
    # Without a window manager Wine shrinks a minimised window's X window to
    # a small iconic strip at the same place.
    session.expect_picture(wid, t.qvm.frame(movie, 1))
    p.click(WIDTH - 24, 23)
    wait_until(lambda: session.window_rect(wid)[2:] < (WIDTH, HEIGHT), 5,
               "the window to be minimised (its X window shrinks)")
    check(run.alive(), "the player ended on a click in the minimise area")
    iconic = session.settled_picture(wid)
    # Minimised, the window gets no keys: F1 would draw the banner, Home show
    # frame 0. (Not Enter: the system itself restores a minimised window on
    # Enter.)
    session.send_key(wid, "F1", "Home", "Next")
    time.sleep(0.8)
    lines = frame_lines(run.stdout())[p.seen:]
    check(all(n == 1 for n, _ in lines), "keys reached the minimised player: %s" % lines)
    check(run.alive(), "the player ended after being minimised")
    check(session.window_picture(wid) == iconic, "the minimised window's picture changed")
    print("  minimise area: minimised %s, the player lives on, keys are not taken"
          % (session.window_rect(wid)[2:],))


def close_area(t):
    """a click in the title strip's close area, or a close request (Alt+F4), ends the player with exit code 0"""
    movie, player = strip_movie(t, "close")
    run, wid = t.session.start_player(player, "Strip")
    wait_for_frame(run, 0)
    t.session.expect_picture(wid, t.qvm.frame(movie, 0))
    t.session.click(wid, WIDTH - 24 + 1, 23)
    result = run.wait(10)
    check_equal(result.code, 0, "exit code after the close area")
    check(all(n == 0 for n, _ in frame_lines(result.stdout)), "frames shown before the end: %s"
          % frame_lines(result.stdout))
    print("  click at (%d, 23): exit code 0" % (WIDTH - 24 + 1))

    # The window system's close request.
    run, wid = t.session.start_player(player, "Strip")
    wait_for_frame(run, 0)
    t.session.send_key(wid, "alt+F4")
    check_equal(run.wait(10).code, 0, "exit code after Alt+F4")
    print("  Alt+F4: exit code 0")


def inactive_picture(t):
    """another program in the foreground: the inactive picture with the frame only inside the inactive rectangle"""
    folder = t.folder("inactive")
    frames = [(banded(WIDTH, HEIGHT, 5), LONG_MS), (banded(WIDTH, HEIGHT, 6), LONG_MS)]
    dimmed = Image.filled(WIDTH, HEIGHT, (90, 90, 110))
    movie = t.qvm.build_list(os.path.join(folder, "Dim.QVM"), frames, inactive=dimmed,
                             header=['WindowText "Dim"', "InactiveUpperLeft 30 20",
                                     "InactiveWidHeight 100 60"])
    run, wid = t.session.start_player(t.copy_player(folder), "Dim")
    wait_for_frame(run, 0)
    active = [t.qvm.frame(movie, n) for n in range(2)]
    inactive = [t.qvm.frame(movie, n, inactive=True) for n in range(2)]
    check(active[0] != inactive[0], "the test's inactive picture looks like the frame")
    t.session.expect_picture(wid, active[0], what="the player in the foreground")

    notepad = t.session.start_program([t.session.wine, "notepad"], folder, name="notepad")
    other = t.session.find_window("Untitled - Notepad", run=notepad)
    t.session.x("xdotool", "windowmove", str(other), "500", "400")
    wait_until(lambda: t.session.window_rect(other)[:2] == (500, 400), 5, "notepad to move")
    t.session.expect_picture(wid, inactive[0], what="the player behind notepad")
    print("  behind notepad: the inactive picture, the frame inside 30,20 100x60")

    # A click brings the player back to the foreground and its full picture.
    t.session.click(wid, 250, 150)
    t.session.expect_picture(wid, active[0], what="the player clicked back to the foreground")
    t.session.send_key(wid, "Return")
    wait_for_frame(run, 1)
    t.session.expect_picture(wid, active[1], what="the next frame in the foreground")
    print("  clicked: the whole frame again; Enter shows frame 1 whole")
    t.session.send_key(wid, "Escape")
    check_equal(run.wait(10).code, 0, "exit code after Esc")


if __name__ == "__main__":
    main("Clicks, the title strip and the inactive picture",
         [click_frames, title_strip, close_area, inactive_picture])
