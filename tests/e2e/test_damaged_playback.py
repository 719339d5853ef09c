"""Damaged movies the player still plays, as far as they go: each is a valid
movie built with qvm and then damaged byte by byte. Every frame shown is
compared pixel for pixel with the picture worked out here from the damage;
a normal end (Escape) exits with 0, a flow that breaks off mid-way with its
console tag and 1; qvm info names each problem with its offset."""
import os
import time

from damaged_movies import (HOLD_MS, black_canvas, build, canvas_picture, cut_flow,
                            end_with_escape, expect_frames, expect_picture, flow_lines,
                            frame_line, info_reports, line_after, overlay, place, replace,
                            row_code, start)
from harness import Failure, check, check_equal, main, wait_until
from images import Image
from movies import banded, movie_offsets

WIDTH, ROWS = 17, 8


def pictures(count=3, width=WIDTH, rows=ROWS):
    return [banded(width, rows, seed) for seed in range(count)]


def held(frames):
    """Every frame but the last held until the test presses Return; the
    last has no delay, so the end comes at once."""
    return [(p, HOLD_MS) for p in frames[:-1]] + [(frames[-1], 0)]


def top_rows(picture, rows):
    return picture.crop(0, 0, picture.width, rows)


def plays_to_the_end(t, player, expected):
    """Plays the movie from frame 0, each picture in turn, until the frame
    after the last says NoFrame; Escape then ends it with code 0."""
    run = start(t, player)
    wid = expect_frames(t, run, expected)
    # The last frame's delay is 0: the frame after it is asked for at once.
    run.wait_for_stdout(r"Frame %d: NoFrame\n" % len(expected), timeout=5)
    end_with_escape(t, run, wid)
    return run.result


def splash_painted(t, run, settle=0.3):
    """Waits until the splash's picture has not changed for `settle` seconds."""
    wid = t.session.find_window("Zebrik Demo", run=run)
    state = {"picture": None, "since": 0.0}

    def settled():
        picture = t.session.window_picture(wid)
        if picture != state["picture"]:
            state["picture"], state["since"] = picture, time.monotonic()
        return time.monotonic() - state["since"] >= settle
    wait_until(settled, 5, "the splash to be painted")


def in_first_appearance_order(data):
    """The movie with its stack rows in the order the row lists first name
    them (qvm sorts them by their bytes), so the damage below can count on
    where each frame's rows lie."""
    _, end, first_stack, width = movie_offsets(data, appended=False)
    lines = data[:end].split(b"\r\n")
    order = {}  # old row index -> new one

    def renumbered(row_list):
        codes = [row_list[k:k + 4] for k in range(1, len(row_list) - 3, 4)]
        old = [sum((c - 43) * 80 ** (3 - i) for i, c in enumerate(code)) for code in codes]
        return b"$" + b"".join(row_code(order.setdefault(r, len(order))) for r in old)

    lines = [renumbered(line) if n > 0 and lines[n - 1].startswith(b"~") and line.startswith(b"$")
             else line for n, line in enumerate(lines)]
    row_bytes = width * 3
    stack = data[first_stack:]
    return (b"\r\n".join(lines) + data[end:first_stack] +
            b"".join(stack[r * row_bytes:(r + 1) * row_bytes] for r in sorted(order, key=order.get)))


def truncated_stack(t):
    """a stack cut inside a row: rows wholly or partly beyond its end keep what the canvas held, black at first"""
    frames = pictures()
    data = in_first_appearance_order(build(t, "truncated", held(frames)))
    _, _, first_stack, width = movie_offsets(data, appended=False)
    # Stack rows 0-7 are frame 0's, 8-15 frame 1's, 16-23 frame 2's. Frame
    # 0's last row is made to name row 23, then the stack is cut 6 pixels and
    # 2 bytes into row 10: frame 1 gets two whole rows and 6 pixels of a third.
    rows0 = line_after(data, frame_line(data, 0))
    rows1 = line_after(data, frame_line(data, 1))
    data = replace(data, rows0.offset + 1 + 4 * 7, row_code(23))
    cut = first_stack + 10 * width * 3 + 6 * 3 + 2
    player, movie = place(t, "truncated", data[:cut])

    canvas = overlay(black_canvas(WIDTH, ROWS), frames[0], {7: 0})
    expected = [canvas_picture(canvas, WIDTH, ROWS)]
    canvas = overlay(canvas, frames[1], {2: 6, **{i: 0 for i in range(3, 8)}})
    expected.append(canvas_picture(canvas, WIDTH, ROWS))
    canvas = overlay(canvas, frames[2], {i: 0 for i in range(8)})
    expected.append(canvas_picture(canvas, WIDTH, ROWS))
    plays_to_the_end(t, player, expected)
    print("  frames 0-2 shown with the rows the stack holds; the rest kept")

    info_reports(t, movie, rows0.offset, "row 7 names stack row 23; the stack holds 10")
    info_reports(t, movie, rows1.offset, "row 2 names stack row 10; the stack holds 10")
    info_reports(t, movie, first_stack + 10 * width * 3, "the stack ends inside a row",
                 kind="warning")


def cut_in_frame_record(t):
    """a flow cut inside a frame record: the whole row codes before the cut are shown, a lone frame line is not indexed, no timing line is a delay of 0"""
    frames = pictures()
    # Frame 1 goes on at once; frame 2 would be held a minute.
    data = build(t, "cut", [(frames[0], HOLD_MS), (frames[1], 0), (frames[2], HOLD_MS)])
    line2 = frame_line(data, 2)
    rows2 = line_after(data, line2)
    rows0 = line_after(data, frame_line(data, 0))

    # The frame line alone at the flow's end: frame 2 does not exist.
    player, movie = place(t, "cut-after-frame-line", cut_flow(data, line2.after))
    plays_to_the_end(t, player, frames[:2])
    print("  cut after the frame line: frames 0-1, then Frame 2: NoFrame")
    info_reports(t, movie, line2.offset, "frame line is not followed by a row list")

    # Frame line and row list without the timing line: shown, then on at once.
    for name, cut, shown in (("cut-after-row-list", rows2.after, frames[2]),
                             ("cut-in-row-list", rows2.offset + 1 + 4 * 3 + 2,
                              top_rows(frames[2], 3))):
        player, movie = place(t, name, cut_flow(data, cut))
        run = start(t, player)
        wid = expect_frames(t, run, frames[:1])
        t.session.send_key(wid, "Return")
        expect_picture(t, run, wid, 2, shown)
        run.wait_for_stdout(r"Frame 3: NoFrame\n", timeout=5)
        end_with_escape(t, run, wid)
        print("  %s: frame 2 shown %dx%d, then Frame 3: NoFrame at once"
              % (name, shown.width, shown.height))
        info_reports(t, movie, line2.offset, "frame record has no timing line")
        if name == "cut-in-row-list":
            info_reports(t, movie, rows2.offset, "no line end before the flow ends")

    # The first row list cut: the window is laid out for its whole codes.
    player, movie = place(t, "cut-in-first-row-list", cut_flow(data, rows0.offset + 1 + 4 * 5 + 1))
    result = plays_to_the_end(t, player, [top_rows(frames[0], 5)])
    check("MaxFrameHgt=5 " in result.stdout, "the first row list does not count 5 rows:\n%s"
          % result.stdout)
    print("  cut in the first row list: MaxFrameHgt=5, 5 rows shown")


def reads_stop_at_flow_end(t):
    """a flow cut in its last frame record: the end byte, width field and stack are never read as row codes or timing"""
    # Width 17: the partial code before the end byte is no row.
    frames = pictures(2)
    data = build(t, "partial-code", held(frames))
    rows1 = line_after(data, frame_line(data, 1))
    runs = [("a code cut to 3 characters names no row",
             cut_flow(data, rows1.offset + 1 + 4 * 3 + 3), [frames[0], top_rows(frames[1], 3)])]

    # Width 321 (width field 01 41): no zero byte after the end byte stops a
    # reader that runs on into the stack. Frame 0's first stack row begins
    # with bytes that read as a timing line of two tokens and a delay of 30 s.
    wide = 0x141
    frames = pictures(2, width=wide, rows=4)
    text = b" T 30000 "
    rgb = bytearray(frames[0].rgb)
    for k in range(3):
        rgb[3 * k:3 * k + 3] = bytes(reversed(text[3 * k:3 * k + 3]))
    frames[0] = Image(wide, 4, rgb)
    data = build(t, "wide", held(frames))
    rows1 = line_after(data, frame_line(data, 1))
    runs += [("321 pixels wide, row list cut: 2 rows shown",
              cut_flow(data, rows1.offset + 1 + 4 * 2 + 2), [frames[0], top_rows(frames[1], 2)]),
             ("321 pixels wide, timing line cut: delay 0", cut_flow(data, rows1.after), frames)]

    # Each damage is played even when an earlier one failed.
    failed = []
    for k, (what, damaged, expected) in enumerate(runs):
        player, _ = place(t, "flow-end-%d" % k, damaged)
        try:
            plays_to_the_end(t, player, expected)
            print("  " + what)
        except Failure as failure:
            failed.append("%s: %s" % (what, failure))
            t.session.end_runs()
    check(not failed, "\n  ".join(failed))


def bad_row_characters(t):
    """row codes outside + to z and an emptied row list copy nothing: the canvas keeps what it held"""
    frames = pictures()
    data = build(t, "bad-codes", held(frames))
    bad = {0: {3: b"+{++"}, 1: {1: b"*+++", 5: b"++\xe9+"}, 2: {0: b"!!!!", 7: b"+++ "}}
    rows0 = line_after(data, frame_line(data, 0))
    canvas, expected = black_canvas(WIDTH, ROWS), []
    for n, codes in bad.items():
        rows = line_after(data, frame_line(data, n))
        for i, code in codes.items():
            data = replace(data, rows.offset + 1 + 4 * i, code)
        canvas = overlay(canvas, frames[n], {i: 0 for i in codes})
        expected.append(canvas_picture(canvas, WIDTH, ROWS))
    player, movie = place(t, "bad-codes", data)
    plays_to_the_end(t, player, expected)
    print("  rows with bad codes kept the canvas's pixels in frames 0-2")
    info_reports(t, movie, rows0.offset, 'row 3 has a character outside "+" to "z"')

    # An emptied row list: the frame has no rows (the window, sized to the
    # frame, has none either) and the next frame comes back whole.
    data = build(t, "empty-list", held(frames))
    rows1 = line_after(data, frame_line(data, 1))
    player, _ = place(t, "empty-list", data[:rows1.offset + 1] + data[rows1.after - 2:])
    run = start(t, player)
    wid = expect_frames(t, run, frames[:1])
    t.session.send_key(wid, "Return")
    run.wait_for_stdout(r"Frame 1: 000001\n")
    t.session.send_key(wid, "Return")
    expect_picture(t, run, wid, 2, frames[2])
    run.wait_for_stdout(r"Frame 3: NoFrame\n", timeout=5)
    end_with_escape(t, run, wid)
    print("  an empty row list: nothing shown, frame 2 whole again")


def line_ends(t):
    """flows with LF-only and with mixed line ends play exactly like CR LF"""
    frames = pictures()
    data = build(t, "line-ends", held(frames))
    _, end, _, _ = movie_offsets(data, appended=False)
    lines = flow_lines(data)
    mixed = b"".join(line.text + (b"\n" if k % 2 else b"\r\n") for k, line in enumerate(lines))
    movies = {"lf-only": (data[:end].replace(b"\r\n", b"\n"), 0),
              "mixed": (mixed, lines[1].offset)}
    for name, (flow, first_lf) in movies.items():
        player, movie = place(t, name, flow + data[end:])
        plays_to_the_end(t, player, frames)
        print("  %s: frames 0-2 right" % name)
        info_reports(t, movie, first_lf, "line ends in LF alone", code=0, kind="warning")


def long_row_list(t):
    """a row list longer than the line buffer: 2400 rows shown, the timing line read after the whole list"""
    tall = banded(5, 2400, 1)
    frames = [banded(5, 700, 0), tall, banded(5, 700, 2)]
    # Frame 1 waits for a click at movie rows 100-200: read as anything else
    # (a piece of the row list) its timing would be a delay of 0.
    data = build(t, "long", [(frames[0], HOLD_MS), (tall, (0, 100, 4, 200)), (frames[2], 0)])
    rows1 = line_after(data, frame_line(data, 1))
    after = rows1.offset + len(rows1.text)
    data = data[:after] + row_code(0) * 200 + data[after:]
    check(len(rows1.text) + 800 > 9995, "the row list fits the line buffer")
    player, movie = place(t, "long", data)

    run = start(t, player)
    wid = expect_frames(t, run, frames[:1])
    t.session.send_key(wid, "Return")
    run.wait_for_stdout(r"Frame 1: 000001\n")
    # The window grows to 2400 rows, beyond the screen; the region made for
    # the first frame's 700 rows shows the top of the picture.
    wait_until(lambda: t.session.window_rect(wid)[2:] == (5, 2400), 5,
               "the window to be 5 x 2400; it is %s" % (t.session.window_rect(wid),))
    wait_until(lambda: t.session.screenshot().crop(40, 40, 5, 700) == top_rows(tall, 700), 5,
               "the top 700 rows of frame 1")
    check("Frame 2:" not in run.stdout(), "frame 1 did not wait for its click:\n%s" % run.stdout())
    t.session.click(wid, 2, 150)
    expect_picture(t, run, wid, 2, frames[2])
    run.wait_for_stdout(r"Frame 3: NoFrame\n")
    end_with_escape(t, run, wid)
    print("  frame 1: window 5 x 2400, waited for its click")
    info_reports(t, movie, rows1.offset, "row list of 2600 rows")


def frame_without_row_list(t):
    """a frame line not followed by a row list in mid-flow: FormatError24 when that frame is reached"""
    frames = pictures()
    data = build(t, "no-rows", held(frames))
    line1 = frame_line(data, 1)
    player, movie = place(t, "no-rows", replace(data, line_after(data, line1).offset, b"#"))
    run = start(t, player)
    wid = expect_frames(t, run, frames[:1])
    t.session.send_key(wid, "Return")
    result = run.wait(10)
    check_equal(result.code, 1, "exit code")
    check(result.stdout.endswith("\nFrame 1: 000001\nFormatError24"),
          "the standard output does not end with frame 1 and FormatError24:\n%s" % result.stdout)
    print("  frame 0 shown, then Frame 1: FormatError24, exit code 1")
    info_reports(t, movie, line1.offset, "frame line is not followed by a row list")


def movie_removed(t):
    """the movie file removed while it plays: No file 'Movie.QVM' at the next frame"""
    frames = pictures(2)
    player, movie = place(t, "removed", build(t, "removed", held(frames)))
    run = start(t, player)
    wid = expect_frames(t, run, frames[:1])
    # The splash, still on screen, reads the flow at each paint: once it
    # has painted, nothing shows it again.
    splash_painted(t, run)
    os.remove(movie)
    t.session.send_key(wid, "Return")
    result = run.wait(10)
    check_equal(result.code, 1, "exit code")
    check(result.stdout.endswith("\nFrame 1: 000001\nNo file 'Movie.QVM'"),
          "the standard output does not end with frame 1 and No file 'Movie.QVM':\n%s"
          % result.stdout)
    print("  No file 'Movie.QVM', exit code 1")


if __name__ == "__main__":
    main("Damaged movies the player plays",
         [truncated_stack, cut_in_frame_record, reads_stop_at_flow_end, bad_row_characters,
          line_ends, long_row_list, frame_without_row_list, movie_removed])
