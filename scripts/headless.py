"""What the end-to-end harness, bench-wine and the demo player share for
running Windows programs out of sight: child processes that end with us, a
private X server, a private Wine prefix, polling with a deadline, PNG files.
Python standard library only.
"""
import ctypes
import os
import select
import shutil
import signal
import struct
import subprocess
import time
import zlib


class Error(Exception):
    """Something this module was asked to start or wait for did not happen."""


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


def copy_prefix(source, prefix):
    """A Wine prefix of our own at prefix, made from source in milliseconds:
    drive_c hard-linked (copied where linking fails), the registry files,
    which this prefix changes, copied. Its wineserver is its own."""
    os.makedirs(prefix)
    for part in ("drive_c", "dosdevices"):
        src = os.path.join(source, part)
        if subprocess.run(["cp", "-al", src, prefix], capture_output=True).returncode:
            shutil.rmtree(os.path.join(prefix, part), ignore_errors=True)
            subprocess.run(["cp", "-a", src, prefix], check=True)
    for part in ("system.reg", "user.reg", "userdef.reg", ".update-timestamp"):
        if os.path.exists(os.path.join(source, part)):
            shutil.copy2(os.path.join(source, part), prefix)


def wait_until(condition, timeout_s, what, every_s=0.03, error=Error):
    """Polls condition() until it returns something true, and returns that;
    raises error after timeout_s."""
    deadline = time.monotonic() + timeout_s
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise error("timed out after %.1f s waiting for %s" % (timeout_s, what))
        time.sleep(every_s)


def _png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png_bytes(width, rows, level=6):
    """An 8-bit RGB PNG, every row unfiltered. rows: width * 3 bytes each
    (anything with the buffer protocol)."""
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + _png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, len(rows), 8, 2, 0, 0, 0))
            + _png_chunk(b"IDAT", zlib.compress(raw, level))
            + _png_chunk(b"IEND", b""))


def write_png(path, width, rows, level=6):
    with open(path, "wb") as f:
        f.write(png_bytes(width, rows, level))
