#!/usr/bin/env python3
"""Makes the page template: page.html with the player (the module Emscripten
wrote, then the page's scripts in their order) gzip-compressed and
base64-encoded into it, for the page's loader (loader.js, written into the
page here) to inflate. qvm html fills the title and the movie in.

Usage: make_page.py OUT.html page.html qv_player.js SCRIPT.js... [--embed SLOT=FILE]...
--embed puts FILE, gzip-compressed and base64-encoded, in place of SLOT."""
import base64
import gzip
import os
import sys


def packed(data):
    return base64.b64encode(gzip.compress(data, 9, mtime=0)).decode("ascii")


def main(out, template, module, *args):
    scripts = [a for a in args if "=" not in a and a != "--embed"]
    embeds = [a.split("=", 1) for a in args if "=" in a]
    with open(template, encoding="utf-8") as f:
        page = f.read()
    for slot, path in embeds:
        if page.count(slot) != 1:
            sys.exit("make_page: the template must hold %s once" % slot)
        with open(path, "rb") as f:
            page = page.replace(slot, packed(f.read()))
    with open(module, "rb") as f:
        code = f.read()
    for script in scripts:
        with open(script, "rb") as f:
            code += b"\n" + f.read()
    for slot in ("@QV_PLAYER@", "@QV_LOADER@"):
        if page.count(slot) != 1:
            sys.exit("make_page: the template must hold %s once" % slot)
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "loader.js"), encoding="utf-8") as f:
        loader = f.read().rstrip("\n")
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        f.write(page.replace("@QV_LOADER@", loader).replace("@QV_PLAYER@", packed(code)))


if __name__ == "__main__":
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
