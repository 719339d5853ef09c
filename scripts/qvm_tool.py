"""Making movies with the native qvm, for bench-wine, the demo and the e2e
tests: the header and frame-list files `qvm build` reads, and qvm called as a
person would call it. Standard library only.
"""
import os
import subprocess

import headless
import images


def write_header(path, lines):
    """`qvm build --header` lines, with a movie's CR LF line ends (qvm takes either)."""
    with open(path, "w", newline="\r\n") as f:
        f.write("".join(line + "\n" for line in lines))


def list_line(png, timing):
    """A `qvm build --list` line: timing is a delay in milliseconds or a click
    rectangle (x1, y1, x2, y2) in movie pixels, edges included."""
    if isinstance(timing, tuple):
        return "%s click %d,%d,%d,%d" % ((png,) + timing)
    return "%s %d" % (png, timing)


class Qvm:
    """qvm at path, making its input files in workdir. A command that ends
    with another code than those allowed raises headless.Error with what qvm
    wrote; `code` and `said` are the last one's exit code and output."""

    def __init__(self, path, workdir, timeout_s=120):
        self.path, self.workdir, self.timeout_s = path, workdir, timeout_s
        self.count = 0

    def __call__(self, *args, codes=(0,)):
        if not os.access(self.path, os.X_OK):
            raise headless.Error("qvm is not at %s: build the native preset first" % self.path)
        done = subprocess.run([self.path] + [str(a) for a in args], capture_output=True,
                              timeout=self.timeout_s)
        # Bytes as they are: a damaged movie's report may quote any of them.
        self.code, self.said = done.returncode, done.stdout.decode("latin-1")
        if done.returncode not in codes:
            raise headless.Error("qvm %s failed (%d): %s%s" % (" ".join(map(str, args)),
                                 done.returncode, self.said, done.stderr.decode("latin-1")))
        return self.said

    def scratch(self, pattern):
        """A path of its own in workdir: pattern with a number in it."""
        self.count += 1
        return os.path.join(self.workdir, pattern % self.count)

    def header_args(self, header):
        if header is None:
            return []
        path = self.scratch("header%d.txt")
        write_header(path, header)
        return ["--header", path]

    def pngs(self, pictures):
        """PNG files of the pictures: paths as they are, Images written into a
        folder of their own."""
        folder, paths = self.scratch("frames%d"), []
        for n, picture in enumerate(pictures):
            if isinstance(picture, images.Image):
                os.makedirs(folder, exist_ok=True)
                path = os.path.join(folder, "f%04d.png" % n)
                picture.save_png(path)
                picture = path
            paths.append(picture)
        return paths

    def build(self, out, pictures, header=None, delay_ms=None):
        """A movie of the pictures; header: the lines before the first frame."""
        delay = [] if delay_ms is None else ["--delay", delay_ms]
        self(*(["build", "-o", out] + self.header_args(header) + delay + self.pngs(pictures)))
        return out

    def build_list(self, out, frames, header=None, inactive=None):
        """A movie of (picture, timing) pairs (see list_line); inactive: the
        picture shown while the player is in the background."""
        pngs = self.pngs([picture for picture, _ in frames] + ([inactive] if inactive else []))
        lines = [list_line(png, timing) for png, (_, timing) in zip(pngs, frames)]
        if inactive:
            lines.append("inactive " + pngs[-1])
        list_file = self.scratch("list%d.txt")
        with open(list_file, "w") as f:
            f.write("".join(line + "\n" for line in lines))
        self(*(["build", "-o", out, "--list", list_file] + self.header_args(header)))
        return out

    def bundle(self, player, movie, out):
        self("bundle", player, movie, "-o", out)
        return out

    def pair(self, movie, folder):
        """The movie as demoFlow.txt and demoStack.kts in folder."""
        self("pair", movie, folder)

    def frame(self, movie, n, inactive=False):
        """Frame n as the player draws it."""
        out = self.scratch("render%d.png")
        self(*(["frame", movie, n, "-o", out] + (["--inactive"] if inactive else [])))
        return images.read_png(out)
