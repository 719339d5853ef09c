"""The open-file dialog the player shows when its folder holds more than one
movie file: cancelled, it ends the program quietly; a file picked in it is
the one played."""
import os

from harness import check_equal, main
from movies import banded, movie_offsets
from runs import start_up_summary, start_up_transcript

WIDTHS = {"Alpha.QVM": 5, "Beta.QVM": 6, "Gamma.QVM": 7}


def folder_with_movies(t, name, names):
    folder = t.folder(name)
    t.copy_player(folder)
    for movie in names:
        width = WIDTHS.get(movie, 9)
        t.qvm.build(os.path.join(folder, movie), [banded(width, 3, width)])
    return os.path.join(folder, "QV_MoviePlayer.exe")


def cancel(t, player):
    """Escape in the dialog: the program ends with code 0, no box, nothing written."""
    run = t.session.start(player)
    dialog = t.session.find_window("Open", run=run)
    t.session.key(dialog, "Escape")
    # A box would keep the program running until this wait fails.
    result = run.wait(timeout=10)
    check_equal((result.code, result.stdout), (0, ""), "exit code and standard output")


def three_movies_cancelled(t):
    """three movie files: the dialog; Escape ends the program silently with code 0"""
    cancel(t, folder_with_movies(t, "three", WIDTHS))
    print("  dialog shown and cancelled, exit code 0")


def picked_movie_played(t):
    """three movie files: the one picked in the dialog is played"""
    player = folder_with_movies(t, "pick", WIDTHS)
    with open(os.path.join(os.path.dirname(player), "Beta.QVM"), "rb") as f:
        _, last, stack, width = movie_offsets(f.read(), appended=False)
    run = t.session.start(player)
    dialog = t.session.find_window("Open", run=run)
    t.session.type_text(dialog, "Beta.QVM")
    t.session.key(dialog, "Return")
    check_equal(start_up_transcript(run), start_up_summary(width, 3, 0, last, stack),
                "standard output at start-up")
    print("  Beta.QVM picked and played")


def back_name_in_other_case(t):
    """a second movie named like QV_ScreenMovie_Back.QVM but in other letter case is not passed over"""
    cancel(t, folder_with_movies(t, "back-case", ["Alpha.QVM", "QV_ScreenMovie_back.QVM"]))
    print("  dialog shown for Alpha.QVM + QV_ScreenMovie_back.QVM")


if __name__ == "__main__":
    main("The open-file dialog", [three_movies_cancelled, picked_movie_played,
                                  back_name_in_other_case])
