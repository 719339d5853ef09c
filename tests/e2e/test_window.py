"""The player window on a small screen (800 x 560, no task bar): its size,
place and scale in each ScreenFill mode, where the picture lies in it, clicks
on a centred or enlarged picture, and the rounded top corners."""
import os

from harness import check, check_equal, main, wait_until
from images import Image
from movies import banded
from runs import frame_lines, wait_for_frame

SCREEN = (800, 560)
BLACK = (0, 0, 0)
LONG_MS = 100000
# The four quarters of the big test picture, and a striped band across its top.
TOP_LEFT, TOP_RIGHT = (200, 60, 60), (60, 200, 60)
BOTTOM_LEFT, BOTTOM_RIGHT = (60, 60, 200), (200, 200, 60)
BAND_ROWS = 30


def quarters(width, height):
    """Four plain quarters (stretching keeps a plain area's colour) under a
    band whose every column differs (a shift by one pixel shows at 1:1)."""
    half_w, half_h = width // 2, height // 2
    band = b"".join(bytes((40 + x % 200, 40 + (x * 7) % 200, 90)) for x in range(width))
    top = bytes(TOP_LEFT) * half_w + bytes(TOP_RIGHT) * (width - half_w)
    bottom = bytes(BOTTOM_LEFT) * half_w + bytes(BOTTOM_RIGHT) * (width - half_w)
    return Image(width, height, band * BAND_ROWS + top * (half_h - BAND_ROWS)
                 + bottom * (height - half_h))


def paste(canvas, picture, x, y):
    """canvas with picture put at (x, y), clipped to the canvas."""
    rgb = bytearray(canvas.rgb)
    w = min(picture.width, canvas.width - x)
    for row in range(min(picture.height, canvas.height - y)):
        at = ((y + row) * canvas.width + x) * 3
        rgb[at:at + w * 3] = picture.rgb[row * picture.width * 3:(row * picture.width + w) * 3]
    return Image(canvas.width, canvas.height, rgb)


def start(t, name, pictures, header, timings=None):
    """Builds the movie, starts the player on it; (movie, run, window)."""
    folder = t.folder(name)
    title = "Window %s" % name
    timings = timings or [LONG_MS] * len(pictures)
    movie = t.qvm.build_list(os.path.join(folder, "W.QVM"), list(zip(pictures, timings)),
                             header=['WindowText "%s"' % title] + header)
    run, wid = t.session.start_player(t.copy_player(folder), title)
    wait_for_frame(run, 0)
    return movie, run, wid


def check_scale(run, scale):
    found = run.wait_for_stdout(r"Scale=(\d+) ")
    check_equal(int(found.group(1)), scale, "Scale in the start-up summary")


def has_banner(t):
    picture = t.session.screenshot()
    return any(picture.pixel(x, y) == (255, 0, 0)
               for y in range(0, picture.height, 2) for x in range(0, picture.width, 4))


def stays_at(t, run, wid, frame, what):
    """Whatever came before has been handled and the frame did not change:
    F1 draws the banner, and up to then only lines of that frame came; F1
    again takes the banner away."""
    t.session.send_key(wid, "F1")
    wait_until(lambda: has_banner(t), 5, "the banner after F1 (%s)" % what)
    lines = frame_lines(run.stdout())
    check(all(n == frame for n, _ in lines), "%s: frame lines %s" % (what, lines))
    t.session.send_key(wid, "F1")
    wait_until(lambda: not has_banner(t), 5, "the banner to go after F1 (%s)" % what)
    return len(frame_lines(run.stdout()))


def check_colours(picture, points, what):
    """points: ((x, y), colour) pairs that must hold exactly."""
    wrong = [(xy, colour, picture.pixel(*xy)) for xy, colour in points
             if picture.pixel(*xy) != colour]
    check(not wrong, "%s: pixels (place, expected, shown): %s" % (what, wrong))


def stretched_quarters(scale, x0=0, y0=0):
    """Points well inside each quarter of a 994 x 722 picture shown at scale
    from (x0, y0), and the colours they must keep."""
    at = lambda mx, my: (x0 + mx * scale // 1000, y0 + my * scale // 1000)
    return [(at(120, 150), TOP_LEFT), (at(480, 340), TOP_LEFT), (at(520, 150), TOP_RIGHT),
            (at(980, 340), TOP_RIGHT), (at(10, 380), BOTTOM_LEFT), (at(480, 710), BOTTOM_LEFT),
            (at(520, 380), BOTTOM_RIGHT), (at(984, 712), BOTTOM_RIGHT)]


def big_movie_shrunk(t):
    """ScreenFill 0, a 994 x 722 movie on 800 x 560: Scale 777, window 772 x 560 at (0, 0)"""
    movie, run, wid = start(t, "fill0", [quarters(994, 722)], ["ScreenFill=0"])
    check_scale(run, 777)
    # 800 - 772 leaves less than 40 pixels, so the window sits at the left edge.
    check_equal(t.session.window_rect(wid), (0, 0, 772, 560), "the window's place and size")
    picture = t.session.settled_picture(wid)
    check_colours(picture, stretched_quarters(777), "the shrunk picture")
    print("  Scale=777, window 772x560 at (0, 0), the quarters in place")


def big_movie_at_one_to_one(t):
    """ScreenFill 1, a 994 x 722 movie on 800 x 560: window 801 x 561 at (0, 0), the picture 1:1 from its corner"""
    picture = quarters(994, 722)
    movie, run, wid = start(t, "fill1", [picture], ["ScreenFill=1"])
    check_scale(run, 1000)
    check_equal(t.session.window_rect(wid), (0, 0, 801, 561), "the window's place and size")
    screen = picture.crop(0, 0, *SCREEN)
    wait_until(lambda: t.session.screenshot() == screen, 3,
               "the screen to show the picture's top-left 800 x 560 at 1:1")
    print("  Scale=1000, window 801x561 at (0, 0), the screen shows the picture 1:1")


def small_movie_centred(t):
    """ScreenFill 1, a 300 x 200 movie: centred at (250, 180); clicks and the title strip count from the picture"""
    width, height = 300, 200
    region = (10, 30, 50, 60)
    pictures = [banded(width, height, 3), banded(width, height, 4)]
    movie, run, wid = start(t, "centred", pictures, ["ScreenFill=1"],
                            timings=[region, LONG_MS])
    check_equal(t.session.window_rect(wid), (0, 0, 801, 561), "the window's place and size")
    # The rest of the window is black: its background on the left and above,
    # the untouched canvas on the right and below.
    expected = paste(Image.filled(SCREEN[0], SCREEN[1], BLACK), t.qvm.frame(movie, 0), 250, 180)
    wait_until(lambda: t.session.screenshot() == expected, 3,
               "the screen to show frame 0 at (250, 180) on black")
    print("  window 801x561, frame 0 at (250, 180), black around it")

    # (30, 40) of the window lies in the click rectangle only if the picture's
    # place were not taken off; (280, 220) is (30, 40) of the picture.
    t.session.click(wid, 30, 40)
    seen = stays_at(t, run, wid, 0, "a click at (30, 40) of the window")
    t.session.click(wid, 250 + 30, 180 + 40)
    lines = wait_for_frame(run, 1, seen)
    check(all(n == 0 for n, _ in lines[:-1]), "frame lines before frame 1: %s" % lines)
    # The window is larger than the screen: look at the screen instead.
    wait_until(lambda: t.session.screenshot().crop(250, 180, width, height)
               == t.qvm.frame(movie, 1), 3, "the screen to show frame 1 at (250, 180)")
    # (290, 5) of the picture is in the close area of its title strip (21
    # high, 21 from the right); measured on the window it would be a click in
    # the client area.
    t.session.click(wid, 250 + 290, 180 + 5)
    result = run.wait(10)
    check_equal(result.code, 0, "exit code after a click in the picture's close area")
    check_equal([n for n, _ in frame_lines(result.stdout)][-1], 1, "the last frame line")
    print("  clicks taken on the picture: (280, 220) moved on, (540, 185) closed with code 0")


def big_movie_fitted(t):
    """ScreenFill 2, a 994 x 722 movie on 800 x 560: Scale 775, window 800 x 560, picture from x 15"""
    movie, run, wid = start(t, "fill2", [quarters(994, 722)], ["ScreenFill=2"])
    check_scale(run, 775)
    check_equal(t.session.window_rect(wid), (0, 0, 800, 560), "the window's place and size")
    picture = t.session.settled_picture(wid)
    # 994 x 775 / 1000 = 770 pixels wide, (800 - 770) / 2 = 15 on each side.
    edges = [((x, y), BLACK) for x in (0, 14, 785, 799) for y in (100, 400)]
    edges += [((x, 150), TOP_LEFT) for x in (15, 16)] + [((784, 150), TOP_RIGHT)]
    edges += [((15, 450), BOTTOM_LEFT), ((784, 450), BOTTOM_RIGHT)]
    check_colours(picture, edges + stretched_quarters(775, 15, 0), "the fitted picture")
    print("  Scale=775, window 800x560 at (0, 0), picture in columns 15..784")


def small_movie_enlarged(t):
    """ScreenFill 2, a 200 x 100 movie enlarged 4 times: a click on the button the frame shows moves on"""
    width, height = 200, 100
    region = (50, 40, 90, 60)
    button, face = (60, 90, 200), (150, 170, 120)
    rows = []
    for y in range(height):
        rows.append([button if region[0] <= x <= region[2] and region[1] <= y <= region[3]
                     else face for x in range(width)])
    frame0 = Image.from_rows(rows)
    frame1 = Image.filled(width, height, (90, 150, 90))
    # Frame 1 waits for the same rectangle, so a wrongly taken click shows as
    # one frame too many.
    movie, run, wid = start(t, "enlarged", [frame0, frame0, frame1], ["ScreenFill=2"],
                            timings=[region, region, LONG_MS])
    check_scale(run, 4000)
    check_equal(t.session.window_rect(wid), (0, 0, 800, 560), "the window's place and size")
    # 100 rows x 4 = 400 of 560: the picture starts at y 80. The button
    # covers 200..363 x 240..323 of the window.
    picture = t.session.settled_picture(wid)
    check_colours(picture, [((400, 40), BLACK), ((400, 520), BLACK), ((100, 150), face),
                            ((280, 280), button), ((399, 100), face), ((799, 479), face)],
                  "the enlarged picture")

    # (280, 200) is (70, 50) of the movie only if the picture's place were
    # not taken off; it is (70, 30), above the button.
    t.session.click(wid, 280, 200)
    seen = stays_at(t, run, wid, 0, "a click above the button")
    t.session.click(wid, 280, 280)
    lines = wait_for_frame(run, 1, seen)
    check(all(n == 0 for n, _ in lines[:-1]), "frame lines before frame 1: %s" % lines)
    t.session.click(wid, 200, 240)
    lines = wait_for_frame(run, 2, seen)
    check_colours(t.session.settled_picture(wid), [((400, 280), (90, 150, 90)), ((400, 40), BLACK)],
                  "frame 2")
    print("  Scale=4000, picture at y 80; clicks on the button shown moved on, "
          "one above it did not")


def rounded_corners(t):
    """WindowRoundingStyle 1 rounds the top corners only; a frame of other size resizes the window in place"""
    colour, other = (180, 120, 60), (70, 140, 210)
    pictures = [Image.filled(300, 200, colour), Image.filled(300, 150, other),
                Image.filled(300, 200, colour)]
    movie, run, wid = start(t, "round", pictures, ["WindowRoundingStyle=1"])
    check_equal(t.session.window_rect(wid), (40, 40, 300, 200), "the window's place and size")
    x0, y0 = 40, 40
    outside = [(0, 0), (1, 0), (2, 0), (0, 1), (0, 2), (299, 0), (298, 0), (297, 0), (299, 1),
               (299, 2)]
    inside = [(3, 0), (0, 3), (296, 0), (299, 3), (0, 199), (299, 199), (150, 100)]
    wait_until(lambda: t.session.screenshot().pixel(x0 + 150, y0 + 100) == colour, 3,
               "the first frame")
    screen = t.session.screenshot()
    check_colours(screen, [((x0 + x, y0 + y), colour) for x, y in inside], "the rounded window")
    # Cut away: what lies behind shows there.
    shown = [(x, y) for x, y in outside if screen.pixel(x0 + x, y0 + y) == colour]
    check(not shown, "the rounded window still covers its corner pixels %s" % shown)
    print("  top corners cut (5 pixels each), bottom corners square")

    t.session.send_key(wid, "Return")
    wait_for_frame(run, 1)
    wait_until(lambda: t.session.window_rect(wid) == (40, 40, 300, 150), 3,
               "the window to take frame 1's 150 rows in place")
    t.session.expect_picture(wid, t.qvm.frame(movie, 1).crop(0, 3, 300, 147), 0, 3)
    t.session.send_key(wid, "Return")
    wait_for_frame(run, 2)
    wait_until(lambda: t.session.window_rect(wid) == (40, 40, 300, 200), 3,
               "the window to take 200 rows again")
    print("  frame of 150 rows: window 300x150 at (40, 40), then 300x200 again")


if __name__ == "__main__":
    main("The player window on an 800 x 560 screen",
         [big_movie_shrunk, big_movie_at_one_to_one, small_movie_centred, big_movie_fitted,
          small_movie_enlarged, rounded_corners], screen=SCREEN)
