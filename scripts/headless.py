"""What the end-to-end harness, bench-wine and the demo player share for
running programs out of sight: child processes that end with us, a private X
server, its windows and screenshots, polling with a deadline. Python standard
library only.
"""
import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import time

import images


class Error(Exception):
    """Something that was to happen or hold did not; the message says what.
    The e2e tests' Failure is this class, so a case fails on these too."""


_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1


def die_with_parent(sig=signal.SIGTERM):
    """A preexec_fn: the child gets sig when this process ends, however it ends."""
    def set_signal():
        _libc.prctl(_PR_SET_PDEATHSIG, int(sig), 0, 0, 0)
    return set_signal


def stop_process(proc, grace_s=5):
    """SIGTERM, then SIGKILL when proc has not ended within grace_s."""
    if proc is None or proc.poll() is not None:
        return
    proc.terminate()
    try:
        proc.wait(grace_s)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def start_xvfb(width, height, timeout_s=20):
    """A private X server at width x height, depth 24, on a display number it
    picks itself among the free ones and reports through -displayfd once it
    takes clients. Returns (process, ":N"); it ends when we do."""
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
         "-nolisten", "tcp", "-noreset"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        preexec_fn=die_with_parent())
    os.close(write_end)
    answer, deadline = b"", time.monotonic() + timeout_s
    while not answer.endswith(b"\n") and time.monotonic() < deadline:
        if select.select([read_end], [], [], 0.2)[0]:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            answer += chunk
    os.close(read_end)
    if not answer.strip().isdigit():
        stop_process(proc)
        raise Error("Xvfb did not report its display")
    return proc, ":" + answer.strip().decode()


def wait_until(condition, timeout_s, what, every_s=0.03):
    """Polls condition() until it returns something true, and returns that;
    raises Error after timeout_s."""
    deadline = time.monotonic() + timeout_s
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Error("timed out after %.1f s waiting for %s" % (timeout_s, what))
        time.sleep(every_s)


def imagemagick(tool):
    """The path of ImageMagick's tool (import, convert, montage), or None. On
    some machines the plain name is a stand-in for another program; Debian's
    versioned names are tried after it."""
    for name in (tool, tool + "-im6.q16", tool + "-im7.q16"):
        path = shutil.which(name)
        if not path:
            continue
        try:
            version = subprocess.run([path, "-version"], capture_output=True, text=True,
                                     timeout=10).stdout
        except (OSError, subprocess.TimeoutExpired):
            continue
        if "ImageMagick" in version:
            return path
    return None


class XDisplay:
    """The X server that env names (DISPLAY): its windows found by title,
    placed and clicked (xdotool, xwininfo), its screen taken (ImageMagick)."""

    def __init__(self, env):
        self.env = env
        self.import_command = imagemagick("import")

    def x(self, *argv, timeout=10):
        return subprocess.run(list(argv), env=self.env, capture_output=True, timeout=timeout)

    def find_windows(self, title):
        """Visible windows whose title is exactly title."""
        # xdotool matches a POSIX extended regular expression.
        pattern = "^%s$" % re.sub(r"([.^$*+?()\[\]{}|\\])", r"\\\1", title)
        found = self.x("xdotool", "search", "--onlyvisible", "--name", pattern)
        return [int(w) for w in found.stdout.split()]

    def window_rect(self, wid):
        """(x, y, width, height) of a window on the screen."""
        info = self.x("xwininfo", "-id", str(wid))
        if info.returncode:
            raise Error("xwininfo -id %s failed: %s"
                        % (wid, info.stderr.decode(errors="replace").strip()))
        value = lambda label: int(re.search(label + r":\s+(-?\d+)", info.stdout.decode()).group(1))
        return (value("Absolute upper-left X"), value("Absolute upper-left Y"),
                value("Width"), value("Height"))

    def click(self, wid, x, y):
        self.x("xdotool", "mousemove", "--window", str(wid), str(x), str(y), "click", "1")

    def screenshot(self):
        """The whole screen with the exact 24-bit values the programs drew."""
        if not self.import_command:
            raise Error("ImageMagick's import is not installed")
        shot = self.x(self.import_command, "-window", "root", "-depth", "8", "ppm:-")
        if shot.returncode:
            raise Error("import failed: %s" % shot.stderr.decode(errors="replace"))
        return images.parse_ppm(shot.stdout)

    def window_picture(self, wid):
        x, y, width, height = self.window_rect(wid)
        return self.screenshot().crop(x, y, width, height)
