"""Windows programs started under a session's Wine, each in a process group
of its own with its output in files, and what the player writes there: the
start-up summary and the frame lines. A run knows its session only for the
environment, the scratch folder and the windows on screen."""
import contextlib
import os
import re
import signal
import subprocess

from harness import Failure, wait_until
import headless
from player_output import crashed, frame_lines, read_text


class Result:
    """How a run ended. stdout has its CR LF line ends turned into LF."""

    def __init__(self, code, stdout, stderr):
        self.code, self.stdout, self.stderr = code, stdout, stderr

    @property
    def crashed(self):
        return crashed(self.stderr)


class Run:
    """One start of a Windows program under the session's Wine."""

    def __init__(self, session, argv, cwd, name):
        self.session, self.cwd, self.name = session, cwd, name
        self.out_path = os.path.join(session.root, "%s.stdout" % name)
        self.err_path = os.path.join(session.root, "%s.stderr" % name)
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            # A process group of its own, so a kill reaches whatever it started.
            self.proc = subprocess.Popen(argv, cwd=cwd, env=session.env, stdin=subprocess.DEVNULL,
                                         stdout=out, stderr=err, start_new_session=True,
                                         preexec_fn=headless.die_with_parent(signal.SIGKILL))
        self.result = None

    def alive(self):
        return self.proc.poll() is None

    def stdout(self):
        """What the program has written so far."""
        return read_text(self.out_path)

    def wait_for_stdout(self, pattern, timeout=10):
        """Waits until the standard output matches the regular expression
        (searched anywhere in it); returns the match."""
        regex = re.compile(pattern)

        def look():
            # Alive before the read: the read then holds whatever came before the end.
            alive = self.alive()
            found = regex.search(self.stdout())
            if found or alive:
                return found
            raise Failure("%s ended (code %s) without writing %r; it wrote:\n%s"
                          % (self.name, self.proc.returncode, pattern, self.stdout()))
        try:
            return wait_until(look, timeout, "%r on the standard output of %s" % (pattern, self.name))
        except Failure as failure:
            if not self.alive():
                raise
            raise Failure("%s; windows on screen: %s; it wrote:\n%s"
                          % (failure, self.session.visible_windows() or "none", self.stdout()))

    def wait(self, timeout=20, allow_crash=False):
        """Waits for the end; a process still running then is reported with the
        windows on screen and killed. A crash fails unless allow_crash."""
        try:
            self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            windows = self.session.visible_windows()
            self.kill()
            raise Failure("%s still ran after %.0f s; windows on screen: %s; stdout so far:\n%s"
                          % (self.name, timeout, windows or "none", self.stdout()))
        self.result = Result(self.proc.returncode, self.stdout(), read_text(self.err_path))
        if self.result.crashed and not allow_crash:
            raise Failure("%s crashed (code %d):\n%s" % (self.name, self.result.code,
                                                          self.result.stderr.strip()))
        return self.result

    def kill(self):
        # Only while the program itself lives: once it is reaped, its group
        # number may be taken by a stranger. Anything it left behind goes
        # with the session's `wineserver -k`.
        if self.alive():
            with contextlib.suppress(ProcessLookupError, PermissionError):
                os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait()


def start_up_summary(width, rows, first_flow, last_flow, first_stack, scale=1000, help_on=0,
                     notes=1):
    """What the player writes after the header echo: the geometry summary, up
    to the blank after Notes (what follows is dots and frame lines)."""
    return ("Scale=%d  StackWid=%d  MaxFrameHgt=%d \nFirstFlowByte=%d   LastFlowByte=%d "
            "FirstStackByte=%d\nHelp=%d   Notes=%d " % (scale, width, rows, first_flow, last_flow,
                                                       first_stack, help_on, notes))


SUMMARY_END = r"Help=\d+   Notes=\d+ "


def start_up_transcript(run):
    """Waits for the geometry summary; returns the standard output up to its end."""
    found = run.wait_for_stdout(SUMMARY_END)
    return run.stdout()[:found.end()]


def wait_for_frame(run, n, start=0, timeout=10):
    """Waits until a line for frame n stands among the run's frame lines from
    the start-th on; returns the frame lines from the start-th up to it."""
    def look():
        alive = run.alive()
        lines = frame_lines(run.stdout())
        for i, (shown, _) in enumerate(lines[start:]):
            if shown == n:
                return lines[start:start + i + 1]
        if not alive:
            raise Failure("%s ended (code %s) before frame %d; frame lines since the %d-th: %s"
                          % (run.name, run.proc.returncode, n, start, lines[start:]))
        return None
    try:
        return wait_until(look, timeout, "frame %d" % n)
    except Failure as failure:
        if not run.alive():
            raise
        raise Failure("%s; frame lines since the %d-th: %s"
                      % (failure, start, frame_lines(run.stdout())[start:]))
