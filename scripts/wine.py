"""The Wine the player runs under, said once for every script: its
environment, the shared prefix (made once), private copies of it that cost
milliseconds, and a private prefix's own wineserver. Standard library only.
`wine.py PREFIX` makes the shared prefix when it is missing and prints its
environment as shell exports, for scripts/wine-env.
"""
import fcntl
import glob
import os
import shlex
import shutil
import signal
import subprocess
import sys
import time

import headless

QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def shared_prefix():
    return os.environ.get("WINEPREFIX") or os.path.join(
        os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "build", "wineprefix")


def environment(prefix, display=None):
    """32-bit, no debug channels (they would bury a crash report), none of the
    add-ons that ask to be installed or write menu entries into the home."""
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEARCH="win32",
               WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d")
    if display:
        env["DISPLAY"] = display
    return env


def set_registry(prefix, managed=True):
    """For a prefix whose wineserver is not running: the crash dialog off, so
    a crash ends the process instead of waiting for a click nobody makes;
    unless managed, no window left to a window manager (tests/e2e/session.py
    says why)."""
    stamp = int(time.time())
    settings = ['[Software\\\\Wine\\\\WineDbg] %d' % stamp, '"ShowCrashDialog"=dword:00000000', ""]
    if not managed:
        settings += ['[Software\\\\Wine\\\\X11 Driver] %d' % stamp, '"Managed"="N"', ""]
    with open(os.path.join(prefix, "user.reg"), "a") as f:
        f.write("\n" + "\n".join(settings))


def make_shared(prefix):
    """The shared prefix, made once (~8 s, ~150 MB) by whoever needs it first."""
    os.makedirs(prefix, exist_ok=True)
    with open(os.path.join(prefix, ".qv-lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.isfile(os.path.join(prefix, ".qv-ready")):
            subprocess.run(["wineboot", "-i"], env=environment(prefix), timeout=300, **QUIET)
            subprocess.run(["wineserver", "-w"], env=environment(prefix), timeout=120, **QUIET)
            set_registry(prefix)
            open(os.path.join(prefix, ".qv-ready"), "w").close()


def private_prefix(source, prefix, managed=True):
    """A prefix of our own made from source: drive_c hard-linked (copied where
    linking fails), the registry files, which it changes, copied."""
    if not os.path.isfile(os.path.join(source, "system.reg")):
        make_shared(source)
    os.makedirs(prefix)
    for part in ("drive_c", "dosdevices"):
        src = os.path.join(source, part)
        if subprocess.run(["cp", "-al", src, prefix], capture_output=True).returncode:
            shutil.rmtree(os.path.join(prefix, part), ignore_errors=True)
            subprocess.run(["cp", "-a", src, prefix], check=True)
    for part in ("system.reg", "user.reg", "userdef.reg", ".update-timestamp"):
        if os.path.exists(os.path.join(source, part)):
            shutil.copy2(os.path.join(source, part), prefix)
    set_registry(prefix, managed)
    return prefix


def start_server(env):
    """A private prefix's persistent wineserver, once it listens. In the
    foreground, so it is our child and dies with us: on SIGINT it ends every
    process of the prefix first (on SIGTERM it would leave them running)."""
    server = subprocess.Popen(["wineserver", "-f", "-p"], env=env, **QUIET,
                              preexec_fn=headless.die_with_parent(signal.SIGINT))
    st = os.stat(env["WINEPREFIX"])
    socket = "server-%x-%x/socket" % (st.st_dev, st.st_ino)
    headless.wait_until(lambda: glob.glob("/tmp/.wine-%d/%s" % (os.getuid(), socket))
                        or glob.glob("/tmp/wine-*/%s" % socket) or server.poll() is not None,
                        15, "the wineserver to listen")
    if server.poll() is not None:
        raise headless.Error("the wineserver ended at start")
    return server


def end_wine(env, server=None):
    """Every process of a private prefix ended, its wineserver too: `wineserver
    -k` there touches no one else's programs."""
    subprocess.run(["wineserver", "-k"], env=env, timeout=30, **QUIET)
    subprocess.run(["wineserver", "-w"], env=env, timeout=30, **QUIET)
    headless.stop_process(server, 10)


if __name__ == "__main__":
    make_shared(sys.argv[1])
    env = environment(sys.argv[1])
    print("export " + " ".join("%s=%s" % (name, shlex.quote(env[name])) for name in
                               ("WINEPREFIX", "WINEDEBUG", "WINEARCH", "WINEDLLOVERRIDES")))
