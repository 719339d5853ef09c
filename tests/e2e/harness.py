"""The end-to-end harness: runs the real player under Wine on a private X
display, finds its windows, reads its output and pixels, and makes the movies
it plays with the native qvm. Python standard library only.

Isolation: a Session owns one Xvfb (a display number no one else holds), one
Wine prefix of its own (a hard-linked copy of the shared prefix, so making it
costs milliseconds, with its own registry files and so its own wineserver) and
one scratch folder. Every run of the player gets a process group of its own.
Clean-up is always done, in this order: the process groups of the runs, every
process of the private prefix (`wineserver -k` is safe there: no one else uses
that prefix), the X server by its PID, the scratch folder. Xvfb and the
wineserver are started with a parent-death signal, so even a test killed
outright leaves no server behind.

The private prefix sets two registry values the shared one lacks:
- WineDbg\\ShowCrashDialog = 0: a crash ends the process instead of waiting
  for a click on a dialog nobody will see;
- X11 Driver\\Managed = N: Wine then treats every top-level window as one no
  window manager looks after. By default it hands to the window manager every
  window with a caption or a system menu (message boxes, dialogs, the splash,
  which is WS_POPUPWINDOW) and every popup that covers the screen, then waits
  ~2 s for that absent manager at each hide or destroy (a message box's OK
  cost 2 s, a box test 5 s instead of 1 s), and leaves a box's caption for it
  to draw, so the caption is not on screen. Session(managed=True) keeps
  Wine's default for a test that needs it.
"""
import difflib
import glob
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "scripts"))
import headless  # noqa: E402
CRASH_SIGNS = ("Unhandled page fault", "starting debugger")


class Failure(Exception):
    """A check that did not hold; the message says what was expected."""


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


def wait_until(condition, timeout, what, interval=0.03):
    """Polls condition() until it returns something true; its value is returned."""
    return headless.wait_until(condition, timeout, what, interval, Failure)


class Image:
    """An RGB picture, 3 bytes a pixel, rows top-down: screenshots, crops of
    them, and the frames movies are built from."""

    def __init__(self, width, height, rgb):
        assert len(rgb) == width * height * 3, "pixel data does not fit the size"
        self.width, self.height, self.rgb = width, height, bytes(rgb)

    @staticmethod
    def filled(width, height, colour):
        return Image(width, height, bytes(colour) * (width * height))

    @staticmethod
    def from_rows(rows):
        """rows: lists of (r, g, b) tuples, all of one length."""
        width = len(rows[0])
        return Image(width, len(rows), b"".join(bytes(c for px in row for c in px) for row in rows))

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def crop(self, x, y, width, height):
        check(0 <= x and 0 <= y and x + width <= self.width and y + height <= self.height,
              "crop %dx%d+%d+%d lies outside the %dx%d picture"
              % (width, height, x, y, self.width, self.height))
        row = self.width * 3
        return Image(width, height, b"".join(
            self.rgb[(y + j) * row + x * 3:(y + j) * row + (x + width) * 3] for j in range(height)))

    def differing_pixels(self, other):
        if (self.width, self.height) != (other.width, other.height):
            return self.width * self.height
        a, b = self.rgb, other.rgb
        return sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])

    def __eq__(self, other):
        return isinstance(other, Image) and (self.width, self.height, self.rgb) == (
            other.width, other.height, other.rgb)

    def __repr__(self):
        return "<Image %dx%d>" % (self.width, self.height)

    def save_png(self, path):
        write_png(path, self)


def write_png(path, image):
    row = image.width * 3
    headless.write_png(path, image.width,
                       [image.rgb[y * row:(y + 1) * row] for y in range(image.height)])


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(path):
    """Reads 8-bit RGB or RGBA PNGs, not interlaced (what qvm writes); alpha is dropped."""
    with open(path, "rb") as f:
        data = f.read()
    check(data[:8] == b"\x89PNG\r\n\x1a\n", "%s is not a PNG file" % path)
    pos, idat, header = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    check(depth == 8 and colour in (2, 6) and interlace == 0,
          "%s: only 8-bit RGB/RGBA PNGs are read here" % path)
    bpp = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(idat))
    stride = width * bpp
    prev = bytearray(stride)
    out = bytearray()
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                line[i] = (line[i] + _paeth(a, b, c)) & 0xFF
        prev = line
        if bpp == 3:
            out += line
        else:
            for i in range(0, stride, 4):
                out += line[i:i + 3]
    return Image(width, height, out)


def parse_ppm(data):
    """A binary P6 picture as ImageMagick writes it (maxval 255)."""
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    check(fields[0] == b"P6" and fields[3] == b"255", "the screenshot is not an 8-bit P6 picture")
    width, height = int(fields[1]), int(fields[2])
    return Image(width, height, data[pos + 1:pos + 1 + width * height * 3])


# ---------------------------------------------------------------- movies

MARKER = bytes(range(33, 127))


def movie_offsets(data, appended):
    """The boundaries of a movie as the format lays them out, worked out here
    independently of the player: (FirstFlowByte, LastFlowByte, FirstStackByte,
    StackWid). data is a whole .QVM file or a whole player with a movie appended."""
    first = 0
    if appended:
        at = data.find(MARKER)
        check(at >= 0, "the bundle holds no marker line")
        first = at + len(MARKER)
    end = data.find(b"\xff", first)
    check(end >= 0, "the movie holds no end byte")
    return first, end, end + 3, data[end + 1] * 256 + data[end + 2]


def banded(width, height, seed=0):
    """A picture whose rows all differ, with every byte from 40 to 239: its
    stack rows hold no line end, no "$" and no end byte, so no reader can
    take stack bytes for flow text."""
    rows = []
    for y in range(height):
        k = seed * 97 + y * 13
        rows.append([(40 + k % 200, 40 + (k * 7 + x) % 200, 40 + (x * 11 + seed) % 200)
                     for x in range(width)])
    return Image.from_rows(rows)


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


# A frame line; the start-up's wait dots may stand before it on its line.
FRAME_LINE = re.compile(r"Frame (-?\d+): (\S*)")


def frame_lines(text):
    """(frame number, name) of every "Frame n: name" line, in order; a frame
    that was asked for past the end has the name "NoFrame"."""
    return [(int(n), name) for n, name in FRAME_LINE.findall(text)]


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


class Qvm:
    """The native movie tool, called the way a person would call it."""

    def __init__(self, path, workdir):
        self.path, self.workdir = path, workdir
        self.count = 0

    def __call__(self, *args):
        check(os.access(self.path, os.X_OK),
              "qvm is not at %s: build the native preset first" % self.path)
        done = subprocess.run([self.path] + [str(a) for a in args], capture_output=True,
                              text=True, timeout=120)
        check(done.returncode == 0, "qvm %s failed (%d): %s%s" % (
            " ".join(map(str, args)), done.returncode, done.stdout, done.stderr))
        return done.stdout

    def frames(self, pictures):
        """Writes the pictures as PNG files; returns their paths."""
        self.count += 1
        folder = os.path.join(self.workdir, "frames%d" % self.count)
        os.makedirs(folder)
        paths = []
        for n, picture in enumerate(pictures):
            paths.append(os.path.join(folder, "f%04d.png" % n))
            write_png(paths[-1], picture)
        return paths

    def build(self, out, pictures, header=None, delay_ms=None):
        """A .QVM movie of the pictures; header: the lines before the first frame."""
        args = ["build", "-o", out]
        if header is not None:
            self.count += 1
            header_file = os.path.join(self.workdir, "header%d.txt" % self.count)
            with open(header_file, "w", newline="\r\n") as f:
                f.write("".join(line + "\n" for line in header))
            args += ["--header", header_file]
        if delay_ms is not None:
            args += ["--delay", delay_ms]
        self(*(args + self.frames(pictures)))
        return out

    def build_list(self, out, frames, header=None, inactive=None):
        """A .QVM movie from a frame list: frames are (picture, timing) pairs,
        timing a delay in milliseconds or a click rectangle (x1, y1, x2, y2)
        in movie pixels; inactive: the picture shown in the background."""
        pictures = [picture for picture, _ in frames] + ([inactive] if inactive else [])
        paths = self.frames(pictures)
        lines = []
        for path, (_, timing) in zip(paths, frames):
            if isinstance(timing, tuple):
                lines.append("%s click %d,%d,%d,%d" % ((path,) + timing))
            else:
                lines.append("%s %d" % (path, timing))
        if inactive:
            lines.append("inactive %s" % paths[-1])
        list_file = os.path.join(os.path.dirname(paths[0]), "list.txt")
        with open(list_file, "w") as f:
            f.write("".join(line + "\n" for line in lines))
        args = ["build", "-o", out, "--list", list_file]
        if header is not None:
            header_file = os.path.join(os.path.dirname(paths[0]), "header.txt")
            with open(header_file, "w", newline="\r\n") as f:
                f.write("".join(line + "\n" for line in header))
            args += ["--header", header_file]
        self(*args)
        return out

    def bundle(self, player, movie, out):
        self("bundle", player, movie, "-o", out)
        return out

    def pair(self, movie, folder):
        """demoFlow.txt and demoStack.kts in folder."""
        self("pair", movie, folder)

    def info(self, path):
        return self("info", path)

    def frame(self, movie, n, inactive=False):
        self.count += 1
        out = os.path.join(self.workdir, "render%d.png" % self.count)
        self(*(["frame", movie, n, "-o", out] + (["--inactive"] if inactive else [])))
        return read_png(out)


# ---------------------------------------------------------------- processes

def _kill_group(pid):
    try:
        os.killpg(pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass


def _import_command():
    """ImageMagick's import; on some machines `import` is another program."""
    try:
        version = subprocess.run(["import", "-version"], capture_output=True, text=True,
                                 timeout=10).stdout
        if "ImageMagick" in version:
            return "import"
    except (OSError, subprocess.TimeoutExpired):
        pass
    return "import-im6.q16"


def _ere_escape(text):
    """Escapes a window title for xdotool's POSIX extended regular expressions."""
    return re.sub(r"([.^$*+?()\[\]{}|\\])", r"\\\1", text)


class Result:
    """How a run ended. stdout has its CR LF line ends turned into LF."""

    def __init__(self, code, stdout, stderr):
        self.code, self.stdout, self.stderr = code, stdout, stderr

    @property
    def crashed(self):
        return any(sign in self.stderr for sign in CRASH_SIGNS)


def _read_text(path):
    with open(path, "rb") as f:
        return f.read().decode("latin-1").replace("\r\n", "\n")


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
        return _read_text(self.out_path)

    def wait_for_stdout(self, pattern, timeout=10):
        """Waits until the standard output matches the regular expression
        (searched anywhere in it); returns the match."""
        regex = re.compile(pattern)

        def look():
            found = regex.search(self.stdout())
            if found or self.alive():
                return found
            # Read once more: the last write may have come just before the end.
            found = regex.search(self.stdout())
            if found:
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
        self.result = Result(self.proc.returncode, self.stdout(), _read_text(self.err_path))
        if self.result.crashed and not allow_crash:
            raise Failure("%s crashed (code %d):\n%s" % (self.name, self.result.code,
                                                          self.result.stderr.strip()))
        return self.result

    def kill(self):
        # Only while the program itself lives: once it is reaped, its group
        # number may be taken by a stranger. Anything it left behind goes
        # with the session's `wineserver -k`.
        if self.alive():
            _kill_group(self.proc.pid)
            self.proc.wait()


class BoxPicture:
    """A message box as Wine draws it for a text, a caption and a style."""

    def __init__(self, text, caption, style, image):
        self.text, self.caption, self.style, self.image = text, caption, style, image

    def __repr__(self):
        return "box %r, caption %r, style 0x%x" % (self.text, self.caption, self.style)


class Session:
    """A private X display and Wine prefix for one test file; see the top of the file."""

    def __init__(self, name, screen=(1024, 768), managed=False, keep=None):
        self.name, self.screen, self.managed = name, screen, managed
        self.keep = os.environ.get("QV_E2E_KEEP") == "1" if keep is None else keep
        self.runs, self.boxes, self.count = [], {}, 0
        self.xvfb = self.wineserver = None
        self.root = None
        self.import_command = _import_command()
        self.source_prefix = os.environ.get("WINEPREFIX") or os.path.join(REPO, "build", "wineprefix")

    # -------- life cycle

    def __enter__(self):
        try:
            self._open()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, kind, value, trace):
        self.close(failed=kind is not None)

    def _open(self):
        # Beside the shared prefix: the same file system, so it can be hard-linked.
        base = os.path.dirname(os.path.abspath(self.source_prefix))
        os.makedirs(base, exist_ok=True)
        self.root = tempfile.mkdtemp(prefix="e2e-%s-" % self.name, dir=base)
        self.prefix = os.path.join(self.root, "prefix")
        self.xvfb, self.display = headless.start_xvfb(*self.screen)
        self.env = dict(os.environ, DISPLAY=self.display, WINEPREFIX=self.prefix,
                        WINEDEBUG="-all", WINEARCH="win32",
                        WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d")
        self._make_prefix()
        self._start_wineserver()

    def close(self, failed=False):
        """Stops everything this session started, and only that."""
        for run in self.runs:
            run.kill()
        if self.wineserver is not None:
            subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=30)
            try:
                self.wineserver.wait(10)
            except subprocess.TimeoutExpired:
                self.wineserver.kill()
                self.wineserver.wait()
            self.wineserver = None
        headless.stop_process(self.xvfb, 10)
        self.xvfb = None
        if self.root:
            if failed or self.keep:
                print("e2e: files of this run kept in %s" % self.root)
            else:
                shutil.rmtree(self.root, ignore_errors=True)
            self.root = None

    def end_runs(self):
        """Kills runs still alive (after a failed case), so the next case starts clean."""
        for run in self.runs:
            run.kill()
        self.runs = [run for run in self.runs if run.alive()]

    def _make_prefix(self):
        source = self.source_prefix
        if os.path.isfile(os.path.join(source, "system.reg")):
            headless.copy_prefix(source, self.prefix)
        else:
            os.makedirs(self.prefix)
            print("e2e: no Wine prefix at %s; making a fresh one (slow)" % source)
            subprocess.run(["wineboot", "-i"], env=self.env, capture_output=True, timeout=300)
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=120)
        stamp = int(time.time())
        settings = ['[Software\\\\Wine\\\\WineDbg] %d' % stamp, '"ShowCrashDialog"=dword:00000000', ""]
        if not self.managed:
            settings += ['[Software\\\\Wine\\\\X11 Driver] %d' % stamp, '"Managed"="N"', ""]
        with open(os.path.join(self.prefix, "user.reg"), "a") as f:
            f.write("\n" + "\n".join(settings))

    def _start_wineserver(self):
        # In the foreground, so it is our child and dies with us: on SIGINT
        # it ends every process of the prefix first (on SIGTERM it would
        # leave them running).
        self.wineserver = subprocess.Popen(
            ["wineserver", "-f", "-p"], env=self.env, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, preexec_fn=headless.die_with_parent(signal.SIGINT))
        st = os.stat(self.prefix)
        pattern = "server-%x-%x/socket" % (st.st_dev, st.st_ino)
        wait_until(lambda: glob.glob("/tmp/.wine-%d/%s" % (os.getuid(), pattern))
                   or glob.glob("/tmp/wine-*/%s" % pattern) or self.wineserver.poll() is not None,
                   15, "the wineserver to listen")
        check(self.wineserver.poll() is None, "the wineserver ended at start")
        # The first Windows program of a prefix starts Wine's services, the
        # first GUI program the desktop process (explorer.exe), each in that
        # program's process group; start them here, so that killing a test
        # run's group never takes them down.
        with open(os.path.join(self.root, "quit.vbs"), "w") as f:
            f.write("WScript.Quit 0\n")
        warm = self.start_program(["wine", "wscript", "//nologo", "quit.vbs"], self.root,
                                  name="warm-up")
        warm.wait(60)
        self.runs.remove(warm)

    # -------- programs

    def folder(self, name):
        """A fresh empty folder inside the session's scratch folder."""
        path = os.path.join(self.root, name)
        os.makedirs(path)
        return path

    def start_program(self, argv, cwd, name=None):
        self.count += 1
        run = Run(self, argv, cwd, "%02d-%s" % (self.count, name or os.path.basename(argv[1])))
        self.runs.append(run)
        return run

    def start(self, exe, args=(), cwd=None):
        """Starts a Windows program. exe is a path; when cwd is left out the
        program runs in its own folder and is named without a folder, as a
        person would start it from there."""
        if cwd is None:
            cwd, exe = os.path.dirname(os.path.abspath(exe)), os.path.basename(exe)
        return self.start_program(["wine", exe] + list(args), cwd)

    def run(self, exe, args=(), cwd=None, timeout=20):
        """Starts the program and waits for its end."""
        return self.start(exe, args, cwd).wait(timeout)

    def start_player(self, exe, title, timeout=10):
        """Starts the player with no argument and clicks its splash away at
        once (the click waits in the splash's queue until the movie is
        indexed); returns the run and the player window, titled title, once
        it is up. Started with an argument instead, the player would show its
        window beside the splash, which may then cover it or take the
        keyboard from it when the splash comes up late on a busy machine."""
        run = self.start(exe)
        self.click(self.find_window("Zebrik Demo", timeout, run=run), 10, 10)
        return run, self.find_window(title, timeout, run=run)

    # -------- X

    def x(self, *argv, timeout=10):
        return subprocess.run(list(argv), env=self.env, capture_output=True, timeout=timeout)

    def find_windows(self, title):
        """Visible windows whose title is exactly title."""
        found = self.x("xdotool", "search", "--onlyvisible", "--name", "^%s$" % _ere_escape(title))
        return [int(w) for w in found.stdout.split()]

    def find_window(self, title, timeout=10, run=None):
        """The one visible window titled title. With run, fails at once when
        that program ends first."""
        def look():
            windows = self.find_windows(title)
            if windows:
                return windows
            if run is not None and not run.alive():
                raise Failure("%s ended (code %s) with no window %r; stdout:\n%s"
                              % (run.name, run.proc.returncode, title, run.stdout()))
            return None
        try:
            windows = wait_until(look, timeout, "a window titled %r" % title, interval=0.05)
        except Failure as failure:
            raise Failure("%s; windows on screen: %s" % (failure, self.visible_windows() or "none"))
        check(len(windows) == 1, "%d windows titled %r" % (len(windows), title))
        return windows[0]

    def visible_windows(self):
        """Titles of the visible windows, for failure reports."""
        names = []
        for wid in self.x("xdotool", "search", "--onlyvisible", "--name", "").stdout.split():
            name = self.x("xdotool", "getwindowname", wid).stdout.decode("latin-1").strip()
            if name:
                names.append(name)
        return names

    def window_rect(self, wid):
        """(x, y, width, height) of a window on the screen."""
        info = self.x("xwininfo", "-id", str(wid)).stdout.decode()
        value = lambda label: int(re.search(label + r":\s+(-?\d+)", info).group(1))
        return (value("Absolute upper-left X"), value("Absolute upper-left Y"),
                value("Width"), value("Height"))

    def screenshot(self):
        shot = self.x(self.import_command, "-window", "root", "-depth", "8", "ppm:-")
        check(shot.returncode == 0, "import failed: %s" % shot.stderr.decode(errors="replace"))
        return parse_ppm(shot.stdout)

    def window_picture(self, wid):
        x, y, width, height = self.window_rect(wid)
        return self.screenshot().crop(x, y, width, height)

    def wait_focus(self, wid, timeout=5):
        """Waits until the window holds the X keyboard focus. Wine gives it to
        a captioned window it treats as unmanaged (message boxes, dialogs)
        once that window is the Win32 focus; never to the player or splash."""
        def focused():
            return self.x("xdotool", "getwindowfocus", "-f").stdout.strip() == str(wid).encode()
        try:
            wait_until(focused, timeout, "window %d to get the keyboard focus" % wid)
        except Failure as failure:
            raise Failure("%s; windows on screen: %s" % (failure, self.visible_windows() or "none"))

    def key(self, wid, *keys):
        """Presses keys in a message box or dialog, once it holds the keyboard
        focus, through XTEST like real keys. Not `xdotool key --window`: its
        synthetic events reached a message box only every other time."""
        self.wait_focus(wid)
        self.x("xdotool", "key", *keys)

    def type_text(self, wid, text):
        """Types into a dialog's focused field, as key() does."""
        self.wait_focus(wid)
        self.x("xdotool", "type", text)

    def send_key(self, wid, *keys):
        """Keys for the player or the splash, which never get the X focus:
        synthetic events sent to the window, which Wine hands to the Win32
        foreground window."""
        self.x("xdotool", "key", "--window", str(wid), *keys)

    def click(self, wid, x, y):
        self.x("xdotool", "mousemove", "--window", str(wid), str(x), str(y), "click", "1")

    def expect_picture(self, wid, expected, x=0, y=0, timeout=3, what="the window"):
        """Waits until the window shows expected with its top-left corner at
        (x, y) of the window; on failure both pictures are kept."""
        state = {"picture": Image(0, 0, b"")}

        def shows():
            state["picture"] = self.window_picture(wid)
            if state["picture"].width < x + expected.width or \
                    state["picture"].height < y + expected.height:
                return False
            state["picture"] = state["picture"].crop(x, y, expected.width, expected.height)
            return state["picture"] == expected
        try:
            wait_until(shows, timeout, "%s to show the expected picture" % what)
        except Failure:
            kept = os.path.join(self.root, "picture%d" % len(
                glob.glob(os.path.join(self.root, "picture*-shown.png"))))
            state["picture"].save_png(kept + "-shown.png")
            expected.save_png(kept + "-expected.png")
            raise Failure("%s does not show the expected %dx%d picture at (%d, %d): %d pixels "
                          "differ; pictures in %s-*.png"
                          % (what, expected.width, expected.height, x, y,
                             state["picture"].differing_pixels(expected), kept))

    # -------- message boxes

    def reference_box(self, text, caption, style):
        """The box Wine itself draws for this text, caption and style, made
        with a VBScript MsgBox. Make it before starting the program whose box
        it is compared with: two boxes of one caption must not be on screen."""
        key = (text, caption, style)
        if key not in self.boxes:
            folder = self.folder("box%d" % (len(self.boxes) + 1))
            quote = lambda s: '"%s"' % s.replace('"', '""')
            with open(os.path.join(folder, "box.vbs"), "w", newline="\r\n") as f:
                f.write("MsgBox %s, %d, %s\n" % (quote(text), style, quote(caption)))
            script = self.start_program(["wine", "wscript", "//nologo", "box.vbs"], folder,
                                        name="reference-box")
            wid = self.find_window(caption, run=script)
            image = self._settled_picture(wid)
            self.press_box_button(wid, image)
            script.wait(10)
            self.runs.remove(script)
            self.boxes[key] = BoxPicture(text, caption, style, image)
        return self.boxes[key]

    def settled_picture(self, wid, settle=0.2, timeout=5):
        """The window's picture once it has stopped changing."""
        return self._settled_picture(wid, settle, timeout)

    def _settled_picture(self, wid, settle=0.2, timeout=5):
        """The window's picture once it has not changed for `settle` seconds."""
        state = {"picture": None, "since": 0.0}

        def settled():
            picture = self.window_picture(wid)
            now = time.monotonic()
            if picture != state["picture"]:
                state["picture"], state["since"] = picture, now
                return None
            return picture if now - state["since"] >= settle else None
        return wait_until(settled, timeout, "window %d to stop changing" % wid)

    def expect_box(self, run, box, timeout=10):
        """Waits for run's message box, checks it pixel for pixel against the
        reference box, and presses its button."""
        wid = self.find_window(box.caption, timeout, run=run)
        state = {}

        def matches():
            # Without a window manager a window mapped later (the splash,
            # under load) can cover the box: raise it before each look.
            self.x("xdotool", "windowraise", str(wid))
            state["picture"] = self.window_picture(wid)
            return state["picture"] == box.image
        try:
            wait_until(matches, 3, "the box to look like the reference")
        except Failure:
            shown, kept = state["picture"], os.path.join(self.root, "%s-box" % run.name)
            shown.save_png(kept + "-shown.png")
            box.image.save_png(kept + "-expected.png")
            raise Failure("%s shows a box captioned %r that is not the %s (%dx%d against %dx%d, "
                          "%d pixels differ); pictures in %s-*.png"
                          % (run.name, box.caption, box, shown.width, shown.height,
                             box.image.width, box.image.height,
                             shown.differing_pixels(box.image), kept))
        self.press_box_button(wid, box.image)

    def press_box_button(self, wid, picture):
        """Clicks a one-button box's button, which sits centred 20 pixels
        above the box's lower edge. A click, not Return: a key sent the moment
        the box is drawn can come before Wine has given the box the keyboard,
        and is then lost. The pointer is parked in the screen's corner after,
        so every box is drawn with the pointer away from it."""
        self.click(wid, picture.width // 2, picture.height - 20)
        self.x("xdotool", "mousemove", "0", "0")


# ---------------------------------------------------------------- test files

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
    if len(sys.argv) != 3:
        sys.exit("usage: %s PLAYER_EXE QVM" % sys.argv[0])
    player, qvm_path = map(os.path.abspath, sys.argv[1:])
    # A kill from ctest or the keyboard still ends the session's processes.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    started = time.monotonic()
    print("%s (%s)" % (title, os.path.basename(sys.argv[0])), flush=True)
    failures = []
    with Session(os.path.splitext(os.path.basename(sys.argv[0]))[0], **session_options) as session:
        print("  session ready in %.1f s on display %s"
              % (time.monotonic() - started, session.display), flush=True)
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
