"""The session of one e2e test file: the real player run under Wine on a
private X display, its windows found, clicked and typed into, its pixels and
message boxes compared with the pictures expected.

Isolation: a Session owns one Xvfb (a display number no one else holds), one
Wine prefix of its own (a hard-linked copy of the shared prefix, so making it
costs milliseconds, with its own registry files and so its own wineserver) and
one scratch folder. Every run of the player gets a process group of its own.
Clean-up is always done, in this order: the process groups of the runs, every
process of the private prefix (`wineserver -k` is safe there: no one else uses
that prefix), the X server by its PID, the scratch folder. Xvfb and the
wineserver are started with a parent-death signal, so even a test killed
outright leaves no server behind.

The private prefix has the crash dialog off and, unless managed, sets
X11 Driver\\Managed = N: Wine then treats every top-level window as one no
window manager looks after. By default it hands to the window manager every
window with a caption or a system menu (message boxes, dialogs, the splash,
which is WS_POPUPWINDOW) and every popup that covers the screen, then waits
~2 s for that absent manager at each hide or destroy (a message box's OK cost
2 s, a box test 5 s instead of 1 s), and leaves a box's caption for it to
draw, so the caption is not on screen. Session(managed=True) keeps Wine's
default for a test that needs it.
"""
import glob
import os
import shutil
import tempfile
import time

from harness import Failure, check, wait_until
import headless
from images import Image
from player_output import read_text
from runs import Run
import wine


class BoxPicture:
    """A message box as Wine draws it for a text, a caption and a style."""

    def __init__(self, text, caption, style, image):
        self.text, self.caption, self.style, self.image = text, caption, style, image

    def __repr__(self):
        return "box %r, caption %r, style 0x%x" % (self.text, self.caption, self.style)


class Session(headless.XDisplay):
    """A private X display and Wine prefix for one test file; see the top of the file."""

    def __init__(self, name, player, screen=(1024, 768), managed=False, keep=None):
        super().__init__(None)  # the environment comes with the X server
        self.name, self.screen, self.managed = name, screen, managed
        self.keep = os.environ.get("QV_E2E_KEEP") == "1" if keep is None else keep
        self.runs, self.boxes, self.count = [], {}, 0
        self.xvfb = self.wineserver = None
        self.root = None
        # The player's own architecture: its loader, its kind of prefix.
        self.build = wine.build_of(player)
        self.wine = self.build.loader

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
        base = os.path.dirname(wine.make_shared(self.build))
        os.makedirs(base, exist_ok=True)
        self.root = tempfile.mkdtemp(prefix="e2e-%s-" % self.name, dir=base)
        self.prefix = os.path.join(self.root, "prefix")
        self.xvfb, self.display = headless.start_xvfb(*self.screen)
        self.env = wine.environment(self.build, self.prefix, self.display)
        wine.private_prefix(self.build, self.prefix, self.managed)
        self._start_wineserver()

    def close(self, failed=False):
        """Stops everything this session started, and only that."""
        self.end_runs()
        if self.wineserver is not None:
            wine.end_wine(self.env, self.wineserver)
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

    def _start_wineserver(self):
        self.wineserver = wine.start_server(self.env)
        # The first Windows program of a prefix starts Wine's services, the
        # first GUI program the desktop process (explorer.exe), each in that
        # program's process group; start them here, so that killing a test
        # run's group never takes them down.
        with open(os.path.join(self.root, "quit.vbs"), "w") as f:
            f.write("WScript.Quit 0\n")
        warm = self.start_program([self.wine, "wscript", "//nologo", "quit.vbs"], self.root,
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
        return self.start_program([self.wine, exe] + list(args), cwd)

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

    def find_window(self, title, timeout=10, run=None):
        """The one visible window titled title. With run, fails at once when
        that program ends first."""
        def look():
            windows = self.find_windows(title)
            if windows:
                return windows
            if run is not None and not run.alive():
                raise Failure("%s ended (code %s) with no window %r; stdout:\n%s\nstderr:\n%s"
                              % (run.name, run.proc.returncode, title, run.stdout(),
                                 read_text(run.err_path)))
            return None
        try:
            windows = wait_until(look, timeout, "a window titled %r" % title, every_s=0.05)
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
        """Keys for the player or the splash: synthetic events sent to the
        window, which Wine hands to the Win32 foreground window. When the
        window has the X focus, xdotool goes through the server (XTEST)
        instead, and it decides anew for the release: a key that ends the
        program (Esc) is then pressed in the server and never released there,
        and Wine presses it again in every window that takes the focus after.
        So the keys are released in the server as well; the server drops the
        release of a key that is not down."""
        self.x("xdotool", "key", "--window", str(wid), *keys)
        self.x("xdotool", "keyup", *keys)

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
            number = len(glob.glob(os.path.join(self.root, "picture*-shown.png")))
            kept = self.keep_pictures("picture%d" % number, state["picture"], expected)
            raise Failure("%s does not show the expected %dx%d picture at (%d, %d): %d pixels "
                          "differ; pictures in %s-*.png"
                          % (what, expected.width, expected.height, x, y,
                             state["picture"].differing_pixels(expected), kept))

    def keep_pictures(self, name, shown, expected):
        """Both pictures of a comparison that failed, kept for a look; returns
        where, for the report."""
        kept = os.path.join(self.root, name)
        shown.save_png(kept + "-shown.png")
        expected.save_png(kept + "-expected.png")
        return kept

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
            script = self.start_program([self.wine, "wscript", "//nologo", "box.vbs"], folder,
                                        name="reference-box")
            wid = self.find_window(caption, run=script)
            image = self.settled_picture(wid)
            self.press_box_button(wid, image)
            script.wait(10)
            self.runs.remove(script)
            self.boxes[key] = BoxPicture(text, caption, style, image)
        return self.boxes[key]

    def settled_picture(self, wid, settle=0.2, timeout=5):
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
            shown = state["picture"]
            kept = self.keep_pictures("%s-box" % run.name, shown, box.image)
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
