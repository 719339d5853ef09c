"""A real screen recording, encoded the way screen recorders encode (x264,
CRF 23), made into a movie with qvm build --video: the movie keeps at most
1.5 times the rows of the lossless movie of the same frames, every frame
lies within the tolerance of the pictures it stands for as the ffmpeg
command decodes them, and the player shows the frames exactly as qvm
renders them."""
import os
import re
import subprocess

from harness import check, check_equal, main
from images import Image
from runs import frame_lines, wait_for_frame

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCREEN = os.path.join(os.path.dirname(REPO), "shared", "data", "screen")
FPS = 5.5
LOSSLESS_ROWS = 20065  # the 300 PNGs as a movie of their own
TOLERANCE = 6          # qvm's default for a lossy codec


def ffmpeg(*args):
    done = subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y"] + list(args),
                          capture_output=True, text=True, timeout=300)
    check(done.returncode == 0, "ffmpeg %s: %s" % (" ".join(args), done.stderr))


def delays(movie):
    """The timing lines' delays, frame by frame."""
    with open(movie, "rb") as f:
        flow = f.read().split(b"\xff", 1)[0].decode("ascii")
    return [int(m) for m in re.findall(r'\r\n~\d+\r\n\$[^\r]*\r\n  ">" Timer (\d+) ', flow)]


def largest_difference(a, b):
    check_equal((a.width, a.height), (b.width, b.height), "the pictures' sizes")
    return max(abs(x - y) for x, y in zip(a.rgb, b.rgb))


def recording_to_player(t):
    """x264 CRF 23 of the shared recording: few rows, frames within the tolerance, shown as rendered"""
    check(os.path.isdir(SCREEN), "the shared screen recording is not at %s" % SCREEN)
    folder = t.folder("video")
    recording = os.path.join(folder, "screen.mkv")
    ffmpeg("-framerate", str(FPS), "-i", os.path.join(SCREEN, "frame_%04d.png"),
           "-c:v", "libx264", "-crf", "23", "-pix_fmt", "yuv420p", recording)
    header = os.path.join(folder, "header.txt")
    with open(header, "w", newline="\r\n") as f:
        f.write('WindowText "Recording"\n')
    movie = os.path.join(folder, "Screen.QVM")
    out = t.qvm("build", "-o", movie, "--video", recording, "--header", header)
    print("  " + out.strip())
    unique = int(re.search(r"(\d+) unique rows", out).group(1))
    check(unique <= 1.5 * LOSSLESS_ROWS, "%d unique rows, more than 1.5 x the lossless %d"
          % (unique, LOSSLESS_ROWS))

    # Frame n stands for the decoded pictures shown from its start for its
    # delay; a few frames, among them merged ones, against each of theirs.
    timing = delays(movie)
    starts = [sum(timing[:n]) for n in range(len(timing))]
    merged = [n for n, d in enumerate(timing) if d > 1.5 * 1000 / FPS]
    # Among them the frames the player is asked to show below.
    chosen = sorted({0, 1, 100, 200, len(timing) - 1} | set(merged[:2]))
    pictures = {}
    for n in chosen:
        first = round(starts[n] * FPS / 1000)
        pictures[n] = range(first, first + max(1, round(timing[n] * FPS / 1000)))
    wanted = sorted({p for covered in pictures.values() for p in covered})
    # Raw pictures, one after another: cheaper to read here than PNGs.
    decoded = os.path.join(folder, "decoded.rgb")
    ffmpeg("-i", recording, "-vf", "select='%s'" % "+".join("eq(n\\,%d)" % p for p in wanted),
           "-vsync", "0", "-f", "rawvideo", "-pix_fmt", "rgb24", decoded)
    renders = {n: t.qvm.frame(movie, n) for n in chosen}
    size = renders[0].width * renders[0].height * 3
    with open(decoded, "rb") as f:
        raw = f.read()
    check_equal(len(raw), size * len(wanted), "the decoded pictures' bytes")
    by_picture = {p: Image(renders[0].width, renders[0].height, raw[i * size:(i + 1) * size])
                  for i, p in enumerate(wanted)}
    for n, covered in pictures.items():
        for p in covered:
            worst = largest_difference(renders[n], by_picture[p])
            check(worst <= TOLERANCE, "frame %d differs from decoded picture %d by up to %d"
                  % (n, p, worst))
    print("  %d frames of 300 pictures; frames %s within %d of the %d pictures they stand for"
          % (len(timing), chosen, TOLERANCE, len(wanted)))

    # The player: paused, then Home and Page Down, each frame as rendered.
    exe = t.qvm.bundle(t.copy_player(folder), movie, os.path.join(folder, "Screen.exe"))
    run, wid = t.session.start_player(exe, "Recording")
    seen = len(wait_for_frame(run, 1, timeout=20))
    t.session.send_key(wid, "space")
    seen += len(wait_for_frame(run, 2, seen))
    for key, n in (("Home", 0), ("Next", 100), ("Next", 200)):
        t.session.send_key(wid, key)
        seen += len(wait_for_frame(run, n, seen))
        t.session.expect_picture(wid, renders[n], timeout=5, what="frame %d after %s" % (n, key))
    print("  the player showed frames 0, 100 and 200 as qvm renders them, each within %d of "
          "its decoded picture" % TOLERANCE)
    t.session.send_key(wid, "Escape")
    check_equal(run.wait(10).code, 0, "exit code after Esc")
    check(frame_lines(run.stdout())[-1][0] == 200, "the last frame line is not frame 200")


if __name__ == "__main__":
    main("A screen recording made into a movie", [recording_to_player], screen=(1280, 1024))
