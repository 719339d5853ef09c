"""Damaged movies the player refuses: each is a valid movie built with qvm and
then damaged byte by byte. The player must end with exit code 1 after its
message box (checked pixel for pixel against the box Wine draws itself) or
its console tag, never crash; qvm info must name the problem and its offset."""
import os
import re

from damaged_movies import (HEADER, SYSTEM_MODAL_ERROR, build, bundle, flow_lines, frame_line,
                            info, info_reports, line_after, place, replace, start)
from harness import check, check_equal, main
from images import Image
from movies import banded, movie_offsets


def two_frames(t, name, width=17, header=HEADER):
    return build(t, name, [(banded(width, 6, 0), 100), (banded(width, 8, 1), 100)], header)


def refused_with_box(t, player, box, activate=False):
    """Returns the standard output written before the box."""
    run = start(t, player)
    if activate:
        # A box met while the index is built comes up inactive under Wine: the
        # splash thread that holds the foreground handles no messages until
        # the index is done. A click on its caption makes it the active box.
        wid = t.session.find_window(box.caption, run=run)
        t.session.click(wid, 60, 8)
        t.session.x("xdotool", "mousemove", "0", "0")
    t.session.expect_box(run, box)
    result = run.wait()
    check_equal(result.code, 1, "exit code after the box")
    print("  %s: box %r" % (os.path.basename(os.path.dirname(player)), box.text))
    return result.stdout


def refused_with_tag(t, player, tag):
    """The tag ends the standard output; no box is shown (it would keep the
    program running until the wait fails)."""
    result = t.session.run(player, ["go"], timeout=15)
    check_equal(result.code, 1, "exit code after %r" % tag)
    check(result.stdout.endswith(tag), "the standard output does not end with %r:\n%s"
          % (tag, result.stdout))
    print("  %s: %s" % (os.path.basename(os.path.dirname(player)), tag))
    return result.stdout


def no_end_byte(t):
    """the end byte overwritten, stack kept, in a movie file and in a bundle: Bad .QVM file1"""
    box = t.session.reference_box("Bad .QVM file1", "Exiting...", SYSTEM_MODAL_ERROR)
    data = two_frames(t, "no-end")
    _, end, _, _ = movie_offsets(data, appended=False)
    damaged = replace(data, end, b"\n")
    check(b"\xff" not in damaged, "the damaged movie still holds an end byte")
    player, movie = place(t, "no-end-file", damaged)
    check_equal(refused_with_box(t, player, box), "", "standard output")
    info_reports(t, movie, 0, "no end byte")

    exe, exe_data = bundle(t, "no-end-bundle", data)
    first, end, _, _ = movie_offsets(exe_data, appended=True)
    exe_data = replace(exe_data, end, b"\n")
    check(b"\xff" not in exe_data[first:], "the damaged bundle still holds an end byte")
    with open(exe, "wb") as f:
        f.write(exe_data)
    check_equal(refused_with_box(t, exe, box), "", "standard output")
    info_reports(t, exe, first, "no end byte")


def no_row_list(t):
    """no row list before the end byte: BadFlow, also with a row list after it, with CR-only line ends and with the flow cut in its header"""
    # A frame row whose stack bytes read as a row list line: the locator must
    # not take it, though it stands in the same file after the end byte.
    look_alike = b"\r\n$++++\r\n((("
    row = Image(4, 1, b"".join(bytes(reversed(look_alike[i:i + 3])) for i in range(0, 12, 3)))
    frame = banded(4, 3, 0)
    frame = Image(4, 3, frame.rgb[:12] + row.rgb + frame.rgb[24:])
    data = build(t, "look-alike", [(frame, 100), (banded(4, 3, 1), 100)])
    _, end, _, _ = movie_offsets(data, appended=False)
    check(b"\n$++++\r\n" in data[end:], "the stack holds no row list look-alike")
    movies = {
        "look-alike": data[:end].replace(b"\n$", b"\n#") + data[end:],
        "cr-only": data[:end].replace(b"\r\n", b"\r") + data[end:],
    }
    data = two_frames(t, "cut-header")
    header_line = flow_lines(data)[1]
    movies["cut-header"] = data[:header_line.offset + 5] + data[movie_offsets(data, False)[1]:]
    for name, damaged in movies.items():
        player, movie = place(t, name, damaged)
        check_equal(refused_with_tag(t, player, "BadFlow"), "BadFlow", "standard output")
        info_reports(t, movie, 0, "the flow holds no row list")
        if name == "cut-header":
            info_reports(t, movie, header_line.offset, "no line end before the flow ends")


def width_out_of_range(t):
    """width fields 0 and 3001: refused with the width in the box"""
    data = two_frames(t, "width")
    _, end, _, _ = movie_offsets(data, appended=False)
    for width in (0, 3001):
        box = t.session.reference_box(
            "The movie is %d pixels wide; this player shows 1 to 3000." % width, "Exiting...",
            SYSTEM_MODAL_ERROR)
        player, movie = place(t, "width-%d" % width,
                              replace(data, end + 1, bytes([width >> 8, width & 0xFF])))
        check_equal(refused_with_box(t, player, box), "", "standard output")
        info_reports(t, movie, end + 1, "movie width %d" % width)


def first_row_list_out_of_range(t):
    """a first row list of 2401 rows or of none: refused with its row count in the box"""
    data = build(t, "tall", [(banded(3, 2400, 0), 100), (banded(3, 5, 1), 100)])
    rows = line_after(data, frame_line(data, 0))
    check_equal(len(rows.text), 1 + 4 * 2400, "length of the first row list")
    movies = {
        2401: data[:rows.offset + len(rows.text)] + b"++++" + data[rows.offset + len(rows.text):],
        0: data[:rows.offset + 1] + data[rows.offset + len(rows.text):],
    }
    for count, damaged in movies.items():
        box = t.session.reference_box(
            "The movie's first frame has %d rows; this player shows 1 to 2400." % count,
            "Exiting...", SYSTEM_MODAL_ERROR)
        player, movie = place(t, "rows-%d" % count, damaged)
        check_equal(refused_with_box(t, player, box), "", "standard output")
        if count:
            info_reports(t, movie, rows.offset, "row list of 2401 rows")
        else:
            info_reports(t, movie, 0, "the first row list names no rows")


def long_frame_name(t):
    """a 49-character frame name after a 48-character one: refused with the offset of its frame line"""
    data = two_frames(t, "names")
    name48 = (b"0123456789" * 5)[:48]
    for n, name in ((0, name48), (1, name48 + b"X")):
        line = frame_line(data, n)
        data = data[:line.offset + 1] + name + data[line.offset + len(line.text):]
    offset = [line.offset for line in flow_lines(data) if line.text == b"~" + name48 + b"X"][0]
    box = t.session.reference_box(
        "The frame name at offset %d is longer than 48 characters." % offset, "Exiting...",
        SYSTEM_MODAL_ERROR)
    player, movie = place(t, "names", data)
    # The names are read while the index is built, after the header.
    stdout = refused_with_box(t, player, box, activate=True)
    check(stdout.startswith("".join(line + "\n" for line in HEADER)),
          "the header is not echoed before the box:\n%s" % stdout)
    check(not re.search(r"^Frame \d+:", stdout, re.M),
          "a frame was shown before the box:\n%s" % stdout)
    info_reports(t, movie, offset, "frame name of 49 characters")
    _, report = info(t, movie)
    check("frame name of 48" not in report, "qvm info refuses the 48-character name:\n%s" % report)


def inactive_without_row_list(t):
    """InactiveFrame not followed by a row list: GrayFrameErr1"""
    data = build(t, "inactive", [(banded(17, 6, 0), 100), (banded(17, 6, 1), 100)],
                 inactive=banded(17, 6, 2))
    inactive = [line for line in flow_lines(data) if line.text == b"InactiveFrame"][0]
    rows = line_after(data, inactive)
    player, movie = place(t, "inactive", replace(data, rows.offset, b"#"))
    stdout = refused_with_tag(t, player, "GrayFrameErr1")
    check(not re.search(r"^Frame \d+:", stdout, re.M),
          "a frame was shown before GrayFrameErr1:\n%s" % stdout)
    info_reports(t, movie, inactive.offset, "InactiveFrame is not followed by a row list")


if __name__ == "__main__":
    main("Damaged movies the player refuses",
         [no_end_byte, no_row_list, width_out_of_range, first_row_list_out_of_range,
          long_frame_name, inactive_without_row_list])
