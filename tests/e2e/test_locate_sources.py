"""Where the player finds its movie, run for real: the movie appended to its
own file, a lone .QVM file beside it, the demoFlow.txt + demoStack.kts pair.
Each source is put next to decoys of the later sources, so taking the wrong
one shows in the stack width and the offsets the player reports."""
import os

from harness import check, check_equal, main
from movies import banded, movie_offsets
from runs import start_up_summary, start_up_transcript

WIDTH, FIRST_ROWS, SECOND_ROWS = 37, 23, 31


def two_frames(width=WIDTH, first_rows=FIRST_ROWS, second_rows=SECOND_ROWS, seed=0):
    # The first row list is the shorter one: the window is laid out for the
    # first frame's row count, not the largest.
    return [banded(width, first_rows, seed), banded(width, second_rows, seed + 1)]


def add_decoys(t, folder, movie_file=True):
    """A movie file and an external pair that must not be taken."""
    if movie_file:
        t.qvm.build(os.path.join(folder, "Other.QVM"), two_frames(41, 5, 6, seed=7))
    decoy = t.qvm.build(os.path.join(t.folder("decoy-" + os.path.basename(folder)), "d.QVM"),
                        two_frames(43, 9, 8, seed=9))
    t.qvm.pair(decoy, folder)


def appended_movie(t):
    """an appended movie wins over a .QVM file and the pair; its header is echoed after an empty line"""
    header = ["Made for the locator test", 'WindowText "Locator Demo"', "HelpOn", "ScreenFill=2"]
    folder = t.folder("appended")
    movie = t.qvm.build(os.path.join(t.folder("appended-src"), "m.QVM"), two_frames(), header)
    exe = t.qvm.bundle(t.player, movie, os.path.join(folder, "Demo Player.exe"))
    add_decoys(t, folder)
    with open(exe, "rb") as f:
        data = f.read()
    first, last, stack, width = movie_offsets(data, appended=True)
    check(first > os.path.getsize(t.player), "the bundle's marker lies inside the player image")

    # With an argument the player window comes up without waiting for the splash.
    run = t.session.start(exe, ["go"])
    # ScreenFill=2 fits the picture to the whole screen (a bare X server has
    # no task bar): the smaller of the two ratios, in thousandths.
    screen_wid, screen_hgt = t.session.screen
    scale = min(screen_wid * 1000 // width, screen_hgt * 1000 // FIRST_ROWS)
    expected = "\n" + "".join(line + "\n" for line in header) + start_up_summary(
        width, FIRST_ROWS, first, last, stack, scale=scale, help_on=1)
    check_equal(start_up_transcript(run), expected, "standard output at start-up")
    print("  header echoed, offsets %d..%d, stack at %d, Help=1, Scale=%d" % (first, last, stack, scale))
    t.session.find_window("Locator Demo", run=run)
    print("  the player window is titled by WindowText")


def lone_movie_file(t):
    """a lone .QVM file beside the plain player is played, before the pair"""
    folder = t.folder("lone")
    t.copy_player(folder)
    movie = t.qvm.build(os.path.join(folder, "Lone.QVM"), two_frames(seed=3))
    add_decoys(t, folder, movie_file=False)
    with open(movie, "rb") as f:
        first, last, stack, width = movie_offsets(f.read(), appended=False)
    check_equal((first, width), (0, WIDTH), "the movie file's flow start and width")

    run = t.session.start(os.path.join(folder, "QV_MoviePlayer.exe"))
    # No header: nothing is echoed and every setting keeps its default.
    check_equal(start_up_transcript(run), start_up_summary(WIDTH, FIRST_ROWS, 0, last, stack),
                "standard output at start-up")
    print("  Lone.QVM: flow 0..%d, stack at %d" % (last, stack))


def external_pair(t):
    """with no movie file, the demoFlow.txt + demoStack.kts pair is played"""
    header = ['WindowText "Pair Demo"', "HelpOn"]
    folder = t.folder("pair")
    t.copy_player(folder)
    movie = t.qvm.build(os.path.join(t.folder("pair-src"), "p.QVM"), two_frames(19, 11, 12, 5),
                        header)
    t.qvm.pair(movie, folder)
    flow_size = os.path.getsize(os.path.join(folder, "demoFlow.txt"))

    run = t.session.start(os.path.join(folder, "QV_MoviePlayer.exe"))
    # The pair's flow ends at the end of demoFlow.txt; its stack starts after
    # the two width bytes at the head of demoStack.kts.
    expected = "".join(line + "\n" for line in header) + start_up_summary(
        19, 11, 0, flow_size, 2, help_on=1)
    check_equal(start_up_transcript(run), expected, "standard output at start-up")
    print("  demoFlow.txt: flow 0..%d; demoStack.kts: width 19" % flow_size)


def back_movie_passed_over(t):
    """QV_ScreenMovie_Back.QVM second in the directory is passed over, with no dialog"""
    folder = t.folder("back")
    t.copy_player(folder)
    alpha = t.qvm.build(os.path.join(folder, "Alpha.QVM"), two_frames(29, 4, 5, 11))
    t.qvm.build(os.path.join(folder, "QV_ScreenMovie_Back.QVM"), two_frames(31, 6, 7, 13))
    with open(alpha, "rb") as f:
        _, last, stack, _ = movie_offsets(f.read(), appended=False)

    run = t.session.start(os.path.join(folder, "QV_MoviePlayer.exe"))
    # A dialog would hold the player before it writes anything.
    check_equal(start_up_transcript(run), start_up_summary(29, 4, 0, last, stack),
                "standard output at start-up")
    print("  Alpha.QVM taken without a dialog")


if __name__ == "__main__":
    main("Finding the movie", [appended_movie, lone_movie_file, external_pair,
                               back_movie_passed_over])
