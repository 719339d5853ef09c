"""The splash screen of the real player: what it shows while the movie is
indexed and after, how it is dismissed (click, Right arrow, a click made while
it still asks to wait) or ends the program (Esc), and when the player window
comes: only after the splash is gone, unless the player got an argument."""
import os
import time

from harness import Failure, check, check_equal, main, wait_until
from images import Image
from runs import frame_lines, wait_for_frame

SPLASH = "Zebrik Demo"
PLAYER = "Splash Test"
SCREEN = (1024, 768)
# The splash window is 560 x 500 with a one-pixel border, centred on the
# screen (a bare X server has no task bar); its client area starts one
# pixel in.
SPLASH_RECT = (232, 134, 560, 500)
CLIENT = (SPLASH_RECT[0] + 1, SPLASH_RECT[1] + 1)
CLIENT_WID, CLIENT_HGT = 558, 498
PALE_GREEN, WHITE, DARK_RED = (200, 255, 200), (255, 255, 255), (128, 0, 0)
STATUS_ROWS = (465, 490)  # font height 25 at y 465
KEY_LINE_ROWS = (273, 293, 313, 333, 353, 373, 393, 413, 433)
# Heights 40, 60 (no text) and 30: drawn at y 15 and 95, nothing between.
HEADER = ['WindowText "%s"' % PLAYER, "SplashText", "040 Splash Title", "060",
          "030 Second Line", "EndSplashText"]
EMPTY_BANDS = ((0, 13), (57, 93), (127, 173))


def client_picture(picture):
    return picture.crop(CLIENT[0], CLIENT[1], CLIENT_WID, CLIENT_HGT)


def pixels(client, rows, test):
    """(x, y) of the client area's pixels in rows [first, last) that pass test."""
    return [(x, y) for y in range(*rows) for x in range(CLIENT_WID) if test(client.pixel(x, y))]


def dark(colour):
    return max(colour) <= 60


def status_extent(client):
    """(first, last) column of the status line's dark red text, or None."""
    xs = [x for x, _ in pixels(client, STATUS_ROWS, lambda c: c == DARK_RED)]
    return (min(xs), max(xs)) if xs else None


def width_of(extent):
    return extent[1] - extent[0] + 1


def centre_of(points):
    xs = [x for x, _ in points]
    return (min(xs) + max(xs)) / 2


def slow_movie(t, name):
    """A movie whose indexing takes a second or two, so the splash shows its
    waiting state long enough to see it and to click on it: after the first
    frame, hundreds of full-size inactive pictures, each of which indexing
    reads in whole (2400 rows of 3000 pixels)."""
    folder = t.folder(name)
    movie = os.path.join(folder, "Slow.QVM")
    pictures = [Image.filled(3000, 20, (90, 120, 150)), Image.filled(3000, 20, (150, 90, 60))]
    t.qvm.build(movie, pictures, header=HEADER, delay_ms=100000)
    with open(movie, "rb") as f:
        data = f.read()
    at = data.index(b"\n~000001") + 1
    record = b"InactiveFrame\r\n$" + b"++++" * 2400 + b"\r\n"
    with open(movie, "wb") as f:
        f.write(data[:at] + record * 600 + data[at:])
    t.copy_player(folder)
    return os.path.join(folder, "QV_MoviePlayer.exe")


def quick_movie(t, name):
    folder = t.folder(name)
    t.qvm.build(os.path.join(folder, "Quick.QVM"), [Image.filled(200, 100, (90, 120, 150))],
                header=HEADER, delay_ms=100000)
    return t.copy_player(folder)


def player_absent(t, what):
    check(not t.session.find_windows(PLAYER), "the player window is up %s" % what)


def wait_for_status(t, test, what, timeout=20):
    """Polls the splash until its status line passes test; returns the
    client picture and the status line's extent."""
    state = {}

    def look():
        client = client_picture(t.session.screenshot())
        extent = status_extent(client)
        if extent and test(extent):
            return client, extent
        state["extent"] = extent
        return None
    try:
        return wait_until(look, timeout, what)
    except Failure as failure:
        raise Failure("%s; the status line's dark red text spans %s"
                      % (failure, state.get("extent")))


def text_at(client, top, height, test, what, centred=False):
    """A line of text drawn at y top with a font of that height: its ink
    (the pixels that pass test near it) lies inside the text cell and starts
    in the cell's upper part. Returns the ink."""
    ink = pixels(client, (top - 8, top + height + 8), test)
    check(ink, "%s: no text near y %d" % (what, top))
    rows = sorted(set(y for _, y in ink))
    check(top <= rows[0] <= top + height * 3 // 10 and rows[-1] < top + height,
          "%s: text in rows %d..%d, not in the upper part of the cell at y %d..%d"
          % (what, rows[0], rows[-1], top, top + height - 1))
    if centred:
        check(abs(centre_of(ink) - 280) <= 10, "%s is not centred: its text spans x %d..%d"
              % (what, min(x for x, _ in ink), max(x for x, _ in ink)))
    return ink


def check_layout(client):
    """The splash's pale green ground, its two splash lines, the key help
    cells and the status line, by where dark, white and dark red pixels lie."""
    for x, y in ((3, 3), (CLIENT_WID - 4, 3), (3, 80), (CLIENT_WID - 4, 150), (3, 230),
                 (CLIENT_WID - 4, CLIENT_HGT - 4)):
        check_equal(client.pixel(x, y), PALE_GREEN, "the background at (%d, %d)" % (x, y))
    text_at(client, 15, 40, dark, "the first splash line", centred=True)
    text_at(client, 95, 30, dark, "the second splash line", centred=True)
    for rows in EMPTY_BANDS:
        found = pixels(client, (rows[0], rows[1] + 1), dark)
        check(not found, "dark pixels in rows %d..%d, where no splash line is: %s..."
              % (rows[0], rows[1], found[:5]))
    text_at(client, 175, 35, dark, "the help heading", centred=True)
    intro = text_at(client, 240, 25, dark, "the help intro")
    check(50 <= min(x for x, _ in intro) <= 60, "the help intro does not start at x 50")
    for y in KEY_LINE_ROWS:
        check_equal((client.pixel(19, y + 2), client.pixel(20, y + 2), client.pixel(22, y + 10)),
                    (PALE_GREEN, WHITE, WHITE), "the key line cell at (19..22, %d)" % y)
        check(pixels(client, (y + 5, y + 20), lambda c: c == (25, 25, 25)),
              "no key line text in the cell at y %d" % y)
    # The cells run unbroken from the top line's to the bottom line's, which
    # ends a font height (give or take the substituted face's pixel) below y 433.
    check_equal([client.pixel(20, y) for y in (272, 273, 300, 400, 452, 460)],
                [PALE_GREEN, WHITE, WHITE, WHITE, WHITE, PALE_GREEN],
                "the key cells' column at x 20, from above the top cell to below the bottom one")
    reds = pixels(client, (0, CLIENT_HGT), lambda c: c == DARK_RED)
    check(len(reds) == len(text_at(client, 465, 25, lambda c: c == DARK_RED, "the status line")),
          "dark red pixels away from the status line")


def shown_after_click(t):
    """no argument: the splash asks to wait, then invites a click; only the click brings the player window"""
    player = slow_movie(t, "click")
    run = t.session.start(player)
    splash = t.session.find_window(SPLASH, run=run)
    check_equal(t.session.window_rect(splash), SPLASH_RECT, "the splash's place and size")
    _, waiting = wait_for_status(t, lambda extent: True, "the splash's status line")
    waited = time.monotonic()
    player_absent(t, "while the movie is indexed")
    client, inviting = wait_for_status(t, lambda extent: width_of(extent) > width_of(waiting) + 40,
                                       "the status line to change to the invitation")
    waited = time.monotonic() - waited
    check(abs((waiting[0] + waiting[1]) / 2 - 280) <= 10, "the wait text %s is not centred"
          % (waiting,))
    print("  status line: wait text at x %d..%d for %.1f s, then the wider invitation at x %d..%d"
          % (waiting + (waited,) + inviting))
    check_layout(client)
    print("  pale green ground, splash lines at y 15 and 95, key cells from x 20, "
          "status in dark red at y 465")

    # Indexing is done; the player waits for the viewer.
    time.sleep(0.5)
    player_absent(t, "before the splash was clicked")
    t.session.click(splash, 100, 100)
    t.session.find_window(PLAYER, run=run)
    wait_for_frame(run, 0)
    wait_until(lambda: not t.session.find_windows(SPLASH), 5, "the splash to go")
    print("  the player window came after the click, the splash went")
    t.session.send_key(t.session.find_window(PLAYER), "Escape")
    check_equal(run.wait(10).code, 0, "exit code after Esc")


def click_while_waiting(t):
    """a click made while the splash asks to wait is kept and dismisses it once indexing ends"""
    player = slow_movie(t, "early")
    run = t.session.start(player)
    splash = t.session.find_window(SPLASH, run=run)
    _, waiting = wait_for_status(t, lambda extent: True, "the splash's status line")
    t.session.click(splash, 100, 100)
    later = status_extent(client_picture(t.session.screenshot()))
    check_equal(later, waiting, "the status line just after the click (indexing must still run)")
    t.session.find_window(PLAYER, timeout=20, run=run)
    wait_for_frame(run, 0)
    print("  clicked during the wait; the player window came with no further input")


def shown_with_argument(t):
    """with an argument the player window comes as soon as the movie is indexed, in front of the splash and active"""
    run = t.session.start(quick_movie(t, "argument"), ["go"])
    wid = t.session.find_window(PLAYER, run=run)
    wait_for_frame(run, 0)
    check(t.session.find_windows(SPLASH), "the splash went without being clicked")
    # The whole picture shows (no splash over it), and F1 reaches the player.
    t.session.expect_picture(wid, Image.filled(200, 100, (90, 120, 150)), what="the player")
    t.session.send_key(wid, "F1")

    def banner():
        picture = t.session.window_picture(wid)
        return any(picture.pixel(x, 6) == (255, 0, 0) for x in range(picture.width))
    wait_until(banner, 5, "the banner after F1: the player is the active window")
    print("  player window in front of the splash, whole and active, no click")
    t.session.send_key(wid, "Escape")
    check_equal(run.wait(10).code, 0, "exit code after Esc")


def inviting(t, name):
    run = t.session.start(quick_movie(t, name))
    splash = t.session.find_window(SPLASH, run=run)
    wait_for_status(t, lambda extent: width_of(extent) > CLIENT_WID * 3 // 4, "the invitation")
    return run, splash


def keys_on_splash(t):
    """on the splash Left, Enter and Space do nothing, the Right arrow starts the movie"""
    run, splash = inviting(t, "right")
    t.session.send_key(splash, "Left", "Return", "space")
    time.sleep(0.5)
    player_absent(t, "after Left, Enter and Space on the splash")
    t.session.send_key(splash, "Right")
    t.session.find_window(PLAYER, run=run)
    lines = wait_for_frame(run, 0)
    check_equal(lines[0], (0, "000000"), "the first frame line")
    print("  Left, Enter, Space: nothing; Right: the player window")


def escape_on_splash(t):
    """Esc on the splash ends the program with exit code 0 before any frame"""
    run, splash = inviting(t, "escape")
    t.session.send_key(splash, "Escape")
    result = run.wait(10)
    check_equal(result.code, 0, "exit code after Esc on the splash")
    check_equal(frame_lines(result.stdout), [], "frame lines")
    print("  exit code 0, no frame shown")


if __name__ == "__main__":
    main("The splash screen", [shown_after_click, click_while_waiting, shown_with_argument,
                               keys_on_splash, escape_on_splash], screen=SCREEN)
