"""How the player refuses to start when it has no movie it can play: the
message box it shows (checked pixel for pixel against the same box drawn by
Wine itself), or the console tag it writes, and exit code 1."""
import os

from harness import check_equal, main
from movies import banded, movie_offsets

SYSTEM_MODAL_ERROR = 0x1010  # MB_SYSTEMMODAL | MB_ICONERROR
OK_ONLY = 0


def small_movie(t, path, header=None):
    return t.qvm.build(path, [banded(17, 6), banded(17, 8, 1)], header)


def refused_with_box(t, run, box):
    """The box is shown, its button ends the program with code 1, and nothing
    is written: every check here comes before the header is read."""
    t.session.expect_box(run, box)
    result = run.wait()
    check_equal(result.code, 1, "exit code after the box")
    check_equal(result.stdout, "", "standard output")
    print("  box %r / %r shown, exit code 1" % (box.text, box.caption))


def started_elsewhere(t):
    """started from another folder: Please UNZIP before running, even with a movie there"""
    box = t.session.reference_box("Please UNZIP before running", "Exiting", OK_ONLY)
    home = t.folder("home")
    movie = small_movie(t, os.path.join(t.folder("home-src"), "m.QVM"))
    exe = t.qvm.bundle(t.player, movie, os.path.join(home, "QV_MoviePlayer.exe"))
    # The current folder offers a movie file and a pair; the player must not
    # fall back on them, nor open its own file by its full path.
    elsewhere = t.folder("elsewhere")
    small_movie(t, os.path.join(elsewhere, "Here.QVM"))
    t.qvm.pair(movie, elsewhere)
    refused_with_box(t, t.session.start(exe, cwd=elsewhere), box)


def no_movie(t):
    """no appended movie, no .QVM file, no pair: No .QVM file:d"""
    box = t.session.reference_box("No .QVM file:d", "Exiting...", SYSTEM_MODAL_ERROR)
    refused_with_box(t, t.session.start(t.copy_player(t.folder("empty"))), box)


def pair_without_stack(t):
    """demoFlow.txt without demoStack.kts: No Movie to Play2"""
    box = t.session.reference_box("Please use ZI_Duvevid to make a movie to play.",
                                  "No Movie to Play2", OK_ONLY)
    folder = t.folder("half-pair")
    player = t.copy_player(folder)
    t.qvm.pair(small_movie(t, os.path.join(t.folder("half-pair-src"), "m.QVM")), folder)
    os.remove(os.path.join(folder, "demoStack.kts"))
    refused_with_box(t, t.session.start(player), box)


def zero_width(t):
    """an appended movie 0 pixels wide is refused with its width in the box"""
    box = t.session.reference_box("The movie is 0 pixels wide; this player shows 1 to 3000.",
                                  "Exiting...", SYSTEM_MODAL_ERROR)
    folder = t.folder("zero-width")
    movie = small_movie(t, os.path.join(t.folder("zero-width-src"), "m.QVM"))
    exe = t.qvm.bundle(t.player, movie, os.path.join(folder, "QV_MoviePlayer.exe"))
    with open(exe, "r+b") as f:
        _, end, _, _ = movie_offsets(f.read(), appended=True)
        f.seek(end + 1)
        f.write(b"\0\0")  # the width field, after the end byte
    refused_with_box(t, t.session.start(exe), box)


def no_end_byte(t):
    """a movie file cut before its end byte: Bad .QVM file1"""
    box = t.session.reference_box("Bad .QVM file1", "Exiting...", SYSTEM_MODAL_ERROR)
    folder = t.folder("cut")
    player = t.copy_player(folder)
    movie = small_movie(t, os.path.join(folder, "Cut.QVM"))
    with open(movie, "r+b") as f:
        _, end, _, _ = movie_offsets(f.read(), appended=False)
        f.truncate(end)
    refused_with_box(t, t.session.start(player), box)


def no_row_list(t):
    """a flow with no row list writes BadFlow and shows no box, appended or in a movie file"""
    header = ["HelpOn"]
    # Every row list turned into a line that is no row list, lengths kept.
    def damage(data, first, end):
        return data[:first] + data[first:end].replace(b"\n$", b"\n#") + data[end:]

    folder = t.folder("no-rows-file")
    player = t.copy_player(folder)
    movie = small_movie(t, os.path.join(folder, "NoRows.QVM"), header)
    with open(movie, "rb") as f:
        data = f.read()
    with open(movie, "wb") as f:
        f.write(damage(data, 0, movie_offsets(data, appended=False)[1]))

    folder = t.folder("no-rows-appended")
    exe = t.qvm.bundle(t.player, small_movie(t, os.path.join(t.folder("no-rows-src"), "m.QVM"),
                                             header), os.path.join(folder, "QV_MoviePlayer.exe"))
    with open(exe, "rb") as f:
        data = f.read()
    first, end, _, _ = movie_offsets(data, appended=True)
    with open(exe, "wb") as f:
        f.write(damage(data, first, end))

    for name, path in (("movie file", player), ("appended movie", exe)):
        # The tag comes from the locator, before the header is echoed; a box
        # would keep the program running until the wait fails.
        result = t.session.run(path, timeout=10)
        check_equal((result.code, result.stdout), (1, "BadFlow"),
                    "exit code and standard output for the %s" % name)
        print("  %s: BadFlow, exit code 1" % name)


if __name__ == "__main__":
    main("Refusing to start", [started_elsewhere, no_movie, pair_without_stack, zero_width,
                               no_end_byte, no_row_list])
