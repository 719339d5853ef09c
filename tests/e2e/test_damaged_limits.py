"""Damaged movies at the data model's limits and with random damage: a movie
of 50,001 frames is indexed to 50,000 and played to its end; movies with
random bytes written over their frame records must each end in a defined
way (a console tag or a box and exit code 1, or playback that Escape ends
with 0), never a crash or a hang, and qvm info must report a problem for
every movie the player refuses."""
import random
import re

from damaged_movies import (HEADER, TITLE, build, end_with_escape, flow_lines, info,
                            info_reports, place, player_window, start)
from harness import Failure, check, check_equal, main, wait_until
from images import Image
from movies import banded

FRAMES = 50001


def many_frames(t):
    """50,001 frames: indexing stops at 50,000; the last indexed frame is shown, the next is NoFrame"""
    # A 1 x 1 movie, its flow written here: frame 0 waits for a click, the
    # rest have no delay. Frame 49,999 shows stack row 2, frame 50,000 row 3,
    # every other frame row 0 or 1.
    colours = [(200, 40, 40), (40, 200, 40), (40, 40, 200), (220, 220, 60)]
    lines = [line.encode() for line in HEADER]
    for n in range(FRAMES):
        row = 2 if n == FRAMES - 2 else 3 if n == FRAMES - 1 else n % 2
        timing = b'  ">" Timer 0,0,0,0 -- 0,0' if n == 0 else b'  ">" Timer 0 -- 0,0'
        lines += [b"~%06d" % n, b"$+++" + bytes([43 + row]), timing]
    lines.append(b"# -99")
    stack = b"".join(bytes(reversed(c)) for c in colours)
    data = b"".join(line + b"\r\n" for line in lines) + b"\xff\x00\x01" + stack
    player, movie = place(t, "many", data)

    def pixel(row):
        return Image(1, 1, bytes(colours[row]))

    run = start(t, player)
    run.wait_for_stdout(r"Indexing stopped at 50000 frames\n")
    wid = player_window(t, run)
    wait_until(lambda: t.session.window_picture(wid) == pixel(0), 5, "frame 0 to be drawn")
    # Space pauses and steps to frame 1; Page Down goes 100 frames on and
    # stops at the last indexed frame.
    t.session.send_key(wid, "space")
    run.wait_for_stdout(r"Frame 1: 000001\n")
    t.session.x("xdotool", "key", "--window", str(wid), "--delay", "2", *["Next"] * 500,
                timeout=60)
    run.wait_for_stdout(r"Frame 49999: 049999\n", timeout=20)
    wait_until(lambda: t.session.window_picture(wid) == pixel(2), 5, "frame 49999 to be drawn")
    t.session.send_key(wid, "Right")
    run.wait_for_stdout(r"Frame 50000: NoFrame\n")
    check_equal(t.session.window_picture(wid), pixel(2), "the picture after Frame 50000: NoFrame")
    check("050000" not in run.stdout(), "frame 50000 was shown:\n%s" % run.stdout()[-300:])
    end_with_escape(t, run, wid)
    print("  indexing stopped at 50000; frame 49999 shown, Frame 50000: NoFrame")
    last = [line for line in flow_lines(data) if line.text == b"~050000"][0]
    info_reports(t, movie, last.offset, "more than 50000 frames")


# Bytes that mean something to a reader of the flow, written more often than
# chance would: line ends, record marks, the end byte, a zero byte, blanks,
# digits, commas and the edges of the row code range.
TELLING = b"\r\n$~\xff\x00 ,09+z{*"
SEEDS = 40
TAGS = ("BadFlow", "FormatError24", "GrayFrameErr1", "NoFlowLO1", "NoFlowS1")


def damage(data, seed):
    """Random bytes written over the frame records, the end byte and the
    width field (the header is kept, so the player's window keeps its
    title): a few single bytes, or a burst in the records."""
    rng = random.Random(seed)
    start_at = next(line.offset for line in flow_lines(data) if line.text[:1] in (b"~", b"I"))
    end = data.index(b"\xff", start_at)
    out = bytearray(data)
    if seed % 4 == 3:
        at = rng.randrange(start_at, end - 16)
        out[at:at + 16] = bytes(rng.randrange(256) for _ in range(16))
        return bytes(out), "16 bytes at %d" % at
    places = sorted(rng.sample(range(start_at, end + 3), rng.randint(1, 6)))
    for at in places:
        out[at] = rng.choice(TELLING) if rng.random() < 0.6 else rng.randrange(256)
    return bytes(out), "bytes at %s" % ", ".join(map(str, places))


def outcome(t, run):
    """Plays the movie until it ends one way or another; returns what ended it."""
    def settled():
        if not run.alive():
            return "ended", None
        for caption in ("Exiting...", "Exiting"):
            boxes = t.session.find_windows(caption)
            if boxes:
                return "box", boxes[0]
        windows = t.session.find_windows(TITLE)
        return ("window", windows[0]) if windows else None
    kind, wid = wait_until(settled, 10, "the player to end, show a box or show its window")
    if kind == "box":
        # A box met while the index is built comes up inactive under Wine: a
        # click on its caption activates it, then one on its button (centred
        # 20 pixels above its lower edge) closes it.
        _, _, width, height = t.session.window_rect(wid)
        t.session.click(wid, width // 2, 8)
        t.session.click(wid, width // 2, height - 20)
        result = run.wait(10)
        check_equal(result.code, 1, "exit code after the box")
        return "box, exit 1"
    if kind == "window":
        # A movie without a waiting frame runs to its end at once; one that
        # breaks off ends by itself.
        try:
            run.wait_for_stdout(r"NoFrame\n", timeout=2)
        except Failure:
            pass  # a frame that waits (a click form made by the damage), or the run ended
        if run.alive():
            t.session.send_key(wid, "Escape")
    result = run.wait(10)
    if kind == "window" and result.code == 0:
        return "played, Escape, exit 0"
    check_equal(result.code, 1, "exit code of a run that ended by itself")
    tag = next((tag for tag in TAGS if result.stdout.endswith(tag)), None)
    check(tag or re.search(r"No file '[^']*'$", result.stdout),
          "the run ended with code 1 but no tag:\n%s" % result.stdout)
    return "%s, exit 1" % (tag or "No file")


def random_damage(t):
    """random bytes over the frame records: a tag, a box or playback, never a crash, a hang or a re-index"""
    frames = [(banded(9, 5, seed), 0) for seed in range(4)]
    data = build(t, "random", frames, inactive=banded(9, 5, 9))
    failed, endings = [], {}
    for seed in range(SEEDS):
        damaged, where = damage(data, seed)
        player, movie = place(t, "random-%d" % seed, damaged)
        run = start(t, player)
        try:
            ended = outcome(t, run)
            check("Reloading Offsets" not in run.stdout(),
                  "the unchanged movie was indexed again:\n%s" % run.stdout())
            code, report = info(t, movie)
            if ended.endswith("exit 1"):
                check(code == 1, "qvm info finds no problem in a movie the player refuses:\n%s"
                      % report)
            endings[ended] = endings.get(ended, 0) + 1
        except Failure as failure:
            failed.append("seed %d (%s): %s" % (seed, where, failure))
            t.session.end_runs()
    for ended, count in sorted(endings.items()):
        print("  %2d movies: %s" % (count, ended))
    check(not failed, "\n  ".join(failed))


if __name__ == "__main__":
    main("Damaged movies at the limits and with random damage", [many_frames, random_damage])
