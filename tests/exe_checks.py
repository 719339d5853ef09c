#!/usr/bin/env python3
"""Checks on a built player, `exe_checks.py CHECK EXE ARCH` with ARCH i686 (the
shipped PE32 image) or x86_64 (PE32+): `imports` proves it is a GUI program of
that architecture needing only system DLLs, `marker` proves its image holds no
copy of the 94-byte marker run, `size` proves the image stays small enough to
travel inside every movie handed out."""
import struct
import sys

SYSTEM_DLLS = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "COMDLG32.DLL", "MSVCRT.DLL"}
# The player's image, as built: the static runtime's exception machinery alone
# would take it to three times this.
MAX_IMAGE_BYTES = 100 * 1024


# Per architecture: the PE machine, the optional header's magic, and where
# its data directories start (the 64-bit header's image base is 8 bytes).
IMAGES = {"i686": (0x14C, 0x10B, 96, "PE32 i386"), "x86_64": (0x8664, 0x20B, 112, "PE32+ x86-64")}


def imported_dlls(data, arch):
    expected_machine, magic, directories, kind = IMAGES[arch]
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
    machine, nsections = struct.unpack_from("<HH", data, pe + 4)
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    assert (machine, struct.unpack_from("<H", data, opt)[0]) == (expected_machine, magic), \
        "not a %s image" % kind
    subsystem = struct.unpack_from("<H", data, opt + 68)[0]
    assert subsystem == 2, "not a GUI program (subsystem %d)" % subsystem
    import_rva = struct.unpack_from("<I", data, opt + directories + 8)[0]
    sections = []
    for i in range(nsections):
        s = opt + opt_size + 40 * i
        vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
        sections.append((va, max(vsize, rawsize), rawptr))

    def at(rva):
        for va, size, raw in sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("rva outside the image")

    names = []
    d = at(import_rva)
    while True:
        name_rva = struct.unpack_from("<I", data, d + 12)[0]
        if name_rva == 0:
            break
        start = at(name_rva)
        names.append(data[start:data.index(b"\0", start)].decode())
        d += 20
    return names


def main():
    if len(sys.argv) != 4 or sys.argv[3] not in IMAGES:
        sys.exit("usage: exe_checks.py imports|marker|size EXE i686|x86_64")
    what, path, arch = sys.argv[1:]
    data = open(path, "rb").read()
    if what == "imports":
        names = imported_dlls(data, arch)
        print("%s, imports:" % IMAGES[arch][3], ", ".join(names))
        extra = [n for n in names if n.upper() not in SYSTEM_DLLS]
        if extra or not names:
            sys.exit("not a system DLL: %s" % extra)
    elif what == "marker":
        marker = bytes(range(33, 127))
        if marker in data:
            sys.exit("the marker run stands at offset %d" % data.index(marker))
        print("no marker in %d bytes" % len(data))
    elif what == "size":
        imported_dlls(data, arch)  # the image must be a whole PE file, not a stub
        print("image of %d bytes, at most %d allowed" % (len(data), MAX_IMAGE_BYTES))
        if len(data) > MAX_IMAGE_BYTES:
            sys.exit("the image is %d bytes over" % (len(data) - MAX_IMAGE_BYTES))
    else:
        sys.exit("usage: exe_checks.py imports|marker|size EXE i686|x86_64")


if __name__ == "__main__":
    main()
