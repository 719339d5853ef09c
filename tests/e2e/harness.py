"""The e2e runner: the cases of one test file run one after another in one
Session (see session.py), each given a Context and failed by the checks here,
every one reported; the exit code is 1 when any failed. Importing it puts
scripts/ on the import path, for the shared modules there.
"""
import difflib
import os
import shutil
import signal
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__)))), "scripts"))
# One class for a check that did not hold, here and in the shared helpers.
from headless import Error as Failure, wait_until  # noqa: E402,F401
from qvm_tool import Qvm  # noqa: E402


def check(condition, message):
    if not condition:
        raise Failure(message)


def check_equal(actual, expected, what):
    """Equality with a readable report; multi-line texts are shown as a diff."""
    if actual == expected:
        return
    if isinstance(actual, str) and isinstance(expected, str) and ("\n" in actual + expected):
        diff = difflib.unified_diff(expected.splitlines(True), actual.splitlines(True),
                                    "expected", "actual")
        raise Failure("%s differs:\n%s" % (what, "".join(diff)))
    raise Failure("%s: expected %r, got %r" % (what, expected, actual))


class Context:
    """What a case gets: the session, the player, qvm and a folder maker."""

    def __init__(self, session, player, qvm):
        self.session, self.player, self.qvm = session, player, qvm

    def folder(self, name):
        return self.session.folder(name)

    def copy_player(self, folder, name="QV_MoviePlayer.exe"):
        """The plain player, copied into folder under name."""
        path = os.path.join(folder, name)
        shutil.copyfile(self.player, path)
        return path


def main(title, cases, **session_options):
    """Runs the cases of one test file in one session: argv is PLAYER_EXE
    QVM. Each case is a function taking a Context; its first docstring line
    says what it checks. Every case runs even when one fails; the exit code
    is 1 when any failed."""
    from session import Session  # here, not at the top: it uses the checks above
    if len(sys.argv) != 3:
        sys.exit("usage: %s PLAYER_EXE QVM" % sys.argv[0])
    player, qvm_path = map(os.path.abspath, sys.argv[1:])
    # A kill from ctest or the keyboard still ends the session's processes.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    started = time.monotonic()
    print("%s (%s)" % (title, os.path.basename(sys.argv[0])), flush=True)
    failures = []
    with Session(os.path.splitext(os.path.basename(sys.argv[0]))[0], player,
                 **session_options) as session:
        print("  session ready in %.1f s on display %s, the %s player under %s"
              % (time.monotonic() - started, session.display, session.build.arch,
                 session.wine), flush=True)
        context = Context(session, player, Qvm(qvm_path, session.folder("qvm")))
        for case in cases:
            what = (case.__doc__ or case.__name__).strip().splitlines()[0]
            case_started = time.monotonic()
            print("- %s" % what, flush=True)
            try:
                case(context)
                print("  ok (%.1f s)" % (time.monotonic() - case_started), flush=True)
            except Failure as failure:
                failures.append(what)
                print("  FAILED: %s" % failure, flush=True)
            except Exception as error:  # a fault of the harness or a tool
                failures.append(what)
                print("  ERROR: %s: %s" % (type(error).__name__, error), flush=True)
            session.end_runs()
        if failures:
            session.keep = True
    print("%d of %d cases failed; %.1f s" % (len(failures), len(cases), time.monotonic() - started))
    sys.exit(1 if failures else 0)
