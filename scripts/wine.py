"""The Wine the player runs under, said once for every script: which build of
the player runs here (the i686 one where this machine runs 32-bit code, the
x86-64 one under Wine's 64-bit loader where it cannot), its environment, the
shared prefix of each (made once), private copies of it that cost
milliseconds, and a private prefix's own wineserver. Standard library only.

    wine.py route            prints the preset whose players run here (win32
                             or win64) and says on stderr which and why
    wine.py run EXE [ARG..]  runs a Windows program in the shared prefix of
                             its own architecture (the core tests' emulator);
                             exits 1 when Wine says it crashed, whatever the
                             program's exit code (a crash may end with 0)

Wine is called through its loaders directly: /usr/bin/wine always picks the
32-bit loader while wine32 is installed, and where no 32-bit code runs that
loader cannot start, not even for a 64-bit program.
"""
import collections
import fcntl
import glob
import os
import shutil
import signal
import struct
import subprocess
import sys
import time

import headless
from player_output import crashed

QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# Forces a route on any machine: win32 or win64.
ROUTE_VARIABLE = "QV_WINE_BUILD"

Build = collections.namedtuple("Build", "preset arch machine loader server")
BUILDS = {
    "win32": Build("win32", "i686", 0x14C, "/usr/lib/wine/wine", "/usr/lib/wine/wineserver32"),
    "win64": Build("win64", "x86-64", 0x8664, "/usr/lib/wine/wine64", "/usr/lib/wine/wineserver64"),
}


def runs_32_bit_code():
    """Whether Wine's 32-bit loader starts here: the kernel refuses it (exit
    126) where no 32-bit code runs, and it is missing without wine32."""
    try:
        return subprocess.run([BUILDS["win32"].loader, "--version"], timeout=60,
                              **QUIET).returncode == 0
    except OSError:
        return False


def route():
    """(Build, why): the build whose players run under Wine on this machine."""
    forced = os.environ.get(ROUTE_VARIABLE)
    if forced:
        if forced not in BUILDS:
            raise headless.Error("%s=%s: say win32 or win64" % (ROUTE_VARIABLE, forced))
        return BUILDS[forced], "%s=%s" % (ROUTE_VARIABLE, forced)
    if runs_32_bit_code():
        return BUILDS["win32"], "this machine runs 32-bit code"
    return BUILDS["win64"], "this machine runs no 32-bit code"


def route_line(build, why):
    return "players under Wine: %s build (%s)" % (build.arch, why)


def build_of(exe):
    """The build an .exe belongs to, by the machine its PE header names."""
    with open(exe, "rb") as f:
        data = f.read(4096)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    for build in BUILDS.values():
        if build.machine == machine:
            return build
    raise headless.Error("%s: not an i386 or x86-64 Windows program" % exe)


def shared_prefix(build):
    return os.path.join(REPO, "build", "wineprefix-" + build.preset)


def environment(build, prefix, display=None):
    """The build's architecture, no debug channels (they would bury a crash
    report), none of the add-ons that ask to be installed or write menu
    entries into the home."""
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEARCH=build.preset,
               WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d")
    if display:
        env["DISPLAY"] = display
    return env


def loader(env):
    return BUILDS[env["WINEARCH"]].loader


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


def make_shared(build):
    """The build's shared prefix, made once (~8 s, ~150 MB) by whoever needs
    it first; returns its path."""
    prefix = shared_prefix(build)
    os.makedirs(prefix, exist_ok=True)
    with open(os.path.join(prefix, ".qv-lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.isfile(os.path.join(prefix, ".qv-ready")):
            env = environment(build, prefix)
            subprocess.run([build.loader, "wineboot", "-i"], env=env, timeout=300, **QUIET)
            subprocess.run([build.server, "-w"], env=env, timeout=120, **QUIET)
            if not os.path.isfile(os.path.join(prefix, "system.reg")):
                raise headless.Error("Wine made no prefix in %s (%s)" % (prefix, build.loader))
            set_registry(prefix)
            open(os.path.join(prefix, ".qv-ready"), "w").close()
    return prefix


def private_prefix(build, prefix, managed=True):
    """A prefix of our own made from the build's shared one: drive_c
    hard-linked (copied where linking fails), the registry files, which it
    changes, copied."""
    source = make_shared(build)
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
    server = subprocess.Popen([BUILDS[env["WINEARCH"]].server, "-f", "-p"], env=env, **QUIET,
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
    wineserver = BUILDS[env["WINEARCH"]].server
    subprocess.run([wineserver, "-k"], env=env, timeout=30, **QUIET)
    subprocess.run([wineserver, "-w"], env=env, timeout=30, **QUIET)
    headless.stop_process(server, 10)


def main(argv):
    if argv[:1] == ["route"]:
        build, why = route()
        print(route_line(build, why), file=sys.stderr)
        print(build.preset)
    elif argv[:1] == ["run"] and len(argv) > 1:
        build = build_of(argv[1])
        env = environment(build, make_shared(build))
        # Standard output passes straight through; standard error is passed on
        # as it comes and read for Wine's crash report.
        proc = subprocess.Popen([build.loader] + argv[1:], env=env, stderr=subprocess.PIPE)
        seen = b""
        for chunk in iter(lambda: proc.stderr.read1(4096), b""):
            sys.stderr.buffer.write(chunk)
            sys.stderr.buffer.flush()
            seen += chunk
        code = proc.wait()
        if crashed(seen.decode("latin-1")):
            sys.exit("wine.py: %s crashed (exit code %d)" % (argv[1], code))
        sys.exit(code)
    else:
        sys.exit("usage: wine.py route | run EXE [ARG...]")


if __name__ == "__main__":
    try:
        main(sys.argv[1:])
    except headless.Error as e:
        sys.exit("wine.py: %s" % e)
