#!/usr/bin/env python3
"""Plays a bundled demo under Wine on a private Xvfb display, the way a viewer
would: clicks the splash, follows the player's frame lines, clicks OK when
the movie waits for it and presses Esc at the end. The screenshots taken on
the way, with one of the demo's page (qvm html) beside the first frame's and
one of the author page with the movie open, make one contact sheet.

    play_demo.py DEMO.exe LIST_FILE WORK_DIR [DEMO.html [AUTHOR.html]]

Plays in the shared Wine prefix of the exe's own architecture (i686 or
x86-64, scripts/wine.py), under that architecture's loader. Every wait is a
poll with a deadline that says what did not happen; only the processes
started here are stopped, by their ids.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "scripts"))
import headless  # noqa: E402
from player_output import crashed, frame_lines, read_text  # noqa: E402
import wine  # noqa: E402

SPLASH_TITLE = "Zebrik Demo"
PLAYER_TITLE = "QV Movie Player Demo"
SHOT_EVERY = 40            # frames between the screenshots of the contact sheet
LONG_ENOUGH_MS = 250       # a frame shown this long can be caught on a screenshot


def read_frame_list(path):
    """(delay_ms or None for a click frame, click region or None) for each
    frame of a "qvm build --list" file that the player will play: those
    before a "StopReading" line."""
    frames = []
    with open(path) as f:
        for line in f:
            words = line.split()
            if words == ["StopReading"]:
                break
            if not words or words[0].startswith("#") or words[0] == "inactive":
                continue
            if len(words) >= 3 and words[-2] == "click":
                frames.append((None, tuple(int(v) for v in words[-1].split(","))))
            else:
                frames.append((int(words[-1]) if len(words) > 1 else 100, None))
    return frames


def pick_shot_frames(frames):
    """About one frame every SHOT_EVERY, each one that stays up long enough to
    be captured, and every frame that waits for a click."""
    picked = set(n for n, (delay, _) in enumerate(frames) if delay is None)
    last = len(frames) - 1  # the end of the movie gets a screenshot of its own
    for target in range(0, len(frames), SHOT_EVERY):
        for n in range(target, min(target + SHOT_EVERY, last)):
            delay = frames[n][0]
            if delay is None or delay >= LONG_ENOUGH_MS:
                picked.add(n)
                break
    return sorted(picked)


def wait_for(what, test, timeout_s, every_s=0.1):
    return headless.wait_until(test, timeout_s, what, every_s)


class Screen(headless.XDisplay):
    def capture(self, box, path):
        """The box of the screen, kept as a PNG file."""
        picture = self.screenshot().crop(*box)
        picture.save_png(path)
        return picture

    def press(self, window, name):
        # Only the key going down: the player may be gone before a key-up could
        # be sent, and xdotool would then report its window as bad.
        self.x("xdotool", "keydown", "--window", str(window), name)


def frame_shown(out_path, n):
    """The name on the player's first line for frame n so far, or None."""
    return next((name for shown, name in frame_lines(read_text(out_path)) if shown == n), None)


def splash_invites_click(picture):
    """True when the splash's status line is the long invitation rather than
    the short "please wait": its dark red text spans more of the window."""
    red = lambda r, g, b: r > 90 and g < 60 and b < 60
    xs = [x for y in range(max(0, picture.height - 45), picture.height)
          for x in range(picture.width) if red(*picture.pixel(x, y))]
    return bool(xs) and max(xs) - min(xs) > picture.width * 0.75


def label_font():
    """A TrueType file for the captions: ImageMagick's default font is often
    not installed."""
    for folder, _, files in sorted(os.walk("/usr/share/fonts")):
        for name in sorted(files):
            if name in ("DejaVuSans.ttf", "LiberationSans-Regular.ttf"):
                return os.path.join(folder, name)
    return None


def contact_sheet(shots, out_path, montage, converter):
    if montage:
        font = label_font()
        args = [montage]
        for label, path in shots:
            args += (["-label", label] if font else []) + [path]
        if font:
            args += ["-font", font, "-pointsize", "14", "-fill", "white"]
        args += ["-tile", "4x", "-geometry", "400x300+6+6", "-background", "#303030", out_path]
        run_imagemagick(args)
        return
    rows = []
    for start in range(0, len(shots), 4):
        row = out_path + ".row%d.png" % len(rows)
        run_imagemagick([converter] + [p for _, p in shots[start:start + 4]] +
                        ["-resize", "400x300", "-background", "#303030", "-gravity", "center",
                         "-extent", "412x312", "+append", row])
        rows.append(row)
    run_imagemagick([converter] + rows + ["-append", "+repage", out_path])
    for row in rows:
        os.remove(row)


def run_imagemagick(args):
    result = subprocess.run(args, capture_output=True, text=True, timeout=120)
    if result.returncode != 0:
        raise headless.Error("%s failed: %s"
                             % (os.path.basename(args[0]), result.stderr.strip()))


def page_shot(page, n, path):
    """The page's player window at frame n, in headless Chromium."""
    script = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                          "tests", "web", "page_shot.mjs")
    result = subprocess.run(["node", script, page, str(n), path], capture_output=True,
                            text=True, timeout=120)
    if result.returncode != 0:
        raise headless.Error("the page's screenshot failed: %s" % result.stderr.strip())


def author_shot(author, movie, n, path):
    """The author page with the movie open at frame n, in headless Chromium."""
    script = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                          "tests", "web", "author_shot.mjs")
    result = subprocess.run(["node", script, author, movie, str(n), path], capture_output=True,
                            text=True, timeout=180)
    if result.returncode != 0:
        raise headless.Error("the author page's screenshot failed: %s" % result.stderr.strip())


def play(exe, list_path, work_dir, page=None, author=None):
    frames = read_frame_list(list_path)
    if not frames:
        raise headless.Error("no frames in " + list_path)
    click_frames = {n: region for n, (delay, region) in enumerate(frames) if delay is None}
    shot_frames = pick_shot_frames(frames)
    converter, montage = headless.imagemagick("convert"), headless.imagemagick("montage")
    if not headless.imagemagick("import") or not converter:
        raise headless.Error("ImageMagick (import, convert) is needed for the screenshots")

    shots_dir = os.path.join(work_dir, "shots")
    shutil.rmtree(shots_dir, ignore_errors=True)
    os.makedirs(shots_dir)
    run_dir = tempfile.mkdtemp(prefix="run-", dir=work_dir)
    shutil.copy(exe, os.path.join(run_dir, "demo.exe"))
    out_path = os.path.join(work_dir, "player-stdout.txt")
    err_path = os.path.join(work_dir, "player-stderr.txt")

    xvfb, display = headless.start_xvfb(1024, 768)
    player = None
    try:
        build = wine.build_of(exe)
        screen = Screen(wine.environment(build, wine.make_shared(build), display))
        print("play_demo: Xvfb on display %s; the %s player under %s"
              % (display, build.arch, build.loader))
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            # The player opens its own file by its bare name in the current folder.
            player = subprocess.Popen([build.loader, "demo.exe"], cwd=run_dir, env=screen.env,
                                      stdin=subprocess.DEVNULL, stdout=out, stderr=err)

        def alive(what):
            if player.poll() is not None:
                raise headless.Error("the player ended (exit code %d) before %s"
                                     % (player.returncode, what))

        def window(title):
            alive("its window \"%s\" appeared" % title)
            return next(iter(screen.find_windows(title)), None)

        splash = wait_for("the splash window", lambda: window(SPLASH_TITLE), 60)
        splash_box = screen.window_rect(splash)
        print("play_demo: splash %dx%d at %d,%d" % (splash_box[2], splash_box[3],
                                                    splash_box[0], splash_box[1]))
        # The geometry summary ends with "Notes=": the settings and the layout are done.
        wait_for("the geometry lines on the player's output",
                 lambda: alive("the geometry lines") or "Notes=" in read_text(out_path), 30)
        splash_shot = os.path.join(shots_dir, "splash.png")

        def splash_ready():
            return splash_invites_click(screen.capture(splash_box, splash_shot))
        try:
            wait_for("the splash to invite a click", splash_ready, 15, 0.2)
        except headless.Error as e:
            print("play_demo: note: %s; going on with the last screenshot" % e)
        screen.click(splash, splash_box[2] // 2, splash_box[3] // 2)

        player_window = wait_for("the player window", lambda: window(PLAYER_TITLE), 30)
        box = screen.window_rect(player_window)
        print("play_demo: player window %dx%d at %d,%d" % (box[2], box[3], box[0], box[1]))
        shots = [("splash, the %s player" % build.arch, splash_shot)]
        remaining_ms = sum(d for d, _ in frames if d is not None)
        for n in shot_frames:
            wait_for("frame %d on the player's output" % n,
                     lambda: alive("frame %d was shown" % n) or frame_shown(out_path, n),
                     30 + 2 * remaining_ms / 1000)
            settle_ms = 300 if n in click_frames else min(100, frames[n][0] // 3)
            time.sleep(settle_ms / 1000)
            path = os.path.join(shots_dir, "frame-%04d.png" % n)
            screen.capture(box, path)
            shots.append(("frame %d" % n, path))
            if page and n == shot_frames[0]:
                page_path = os.path.join(shots_dir, "page-%04d.png" % n)
                page_shot(page, n, page_path)
                shots.append(("frame %d, the page" % n, page_path))
            if n in click_frames:
                x1, y1, x2, y2 = click_frames[n]
                print("play_demo: frame %d waits for a click; clicking %d,%d"
                      % (n, (x1 + x2) // 2, (y1 + y2) // 2))
                screen.click(player_window, (x1 + x2) // 2, (y1 + y2) // 2)
                wait_for("frame %d after the click" % (n + 1),
                         lambda: alive("the click was answered") or frame_shown(out_path, n + 1),
                         10)

        end = len(frames)
        wait_for("the end of the movie (\"Frame %d: NoFrame\")" % end,
                 lambda: alive("the movie's end") or frame_shown(out_path, end) == "NoFrame",
                 30 + 2 * remaining_ms / 1000)
        path = os.path.join(shots_dir, "end.png")
        screen.capture(box, path)
        shots.append(("the end", path))
        screen.press(player_window, "Escape")
        try:
            code = player.wait(15)
        except subprocess.TimeoutExpired:
            raise headless.Error("the player did not end after Esc")
        if crashed(read_text(err_path)):
            raise headless.Error("the player crashed")
        if code != 0:
            raise headless.Error("the player ended with exit code %d after Esc" % code)

        if author:
            n = min(click_frames) if click_frames else 0
            path = os.path.join(shots_dir, "author.png")
            author_shot(author, os.path.join(work_dir, "demo.QVM"), n, path)
            shots.append(("the author page, frame %d" % n, path))
        sheet = os.path.join(work_dir, "contact-sheet.png")
        contact_sheet(shots, sheet, montage, converter)
        return sheet
    except headless.Error as e:
        raise headless.Error("%s\n  the player's output: %s\n  its errors: %s\n  screenshots "
                             "so far: %s" % (e, out_path, err_path, shots_dir))
    finally:
        if player is not None:
            headless.stop_process(player)
        headless.stop_process(xvfb)
        shutil.rmtree(run_dir, ignore_errors=True)


def main(argv):
    if len(argv) not in (4, 5, 6):
        print("usage: play_demo.py DEMO.exe LIST_FILE WORK_DIR [DEMO.html [AUTHOR.html]]",
              file=sys.stderr)
        return 2
    try:
        page = os.path.abspath(argv[4]) if len(argv) >= 5 else None
        author = os.path.abspath(argv[5]) if len(argv) == 6 else None
        sheet = play(os.path.abspath(argv[1]), argv[2], os.path.abspath(argv[3]), page, author)
    except headless.Error as e:
        print("play_demo: FAILED: %s" % e, file=sys.stderr)
        return 1
    print("play_demo: contact sheet: %s" % sheet)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
