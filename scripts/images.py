"""Pictures compared pixel for pixel (screenshots, the frames movies are made
of, qvm's renders) and the files they come in: 8-bit RGB PNG, written and read
here without a library, and ImageMagick's binary PPM. Standard library only.
"""
import re
import struct
import zlib


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
        if not (0 <= x and 0 <= y and x + width <= self.width and y + height <= self.height):
            raise ValueError("crop %dx%d+%d+%d lies outside the %dx%d picture"
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
        row = self.width * 3
        write_png(path, self.width, [self.rgb[y * row:(y + 1) * row] for y in range(self.height)])


def _chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png_bytes(width, rows, level=6):
    """An 8-bit RGB PNG, every row unfiltered. rows: width * 3 bytes each
    (anything with the buffer protocol)."""
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + _chunk(b"IHDR", struct.pack(">IIBBBBB", width, len(rows), 8, 2, 0, 0, 0))
            + _chunk(b"IDAT", zlib.compress(raw, level))
            + _chunk(b"IEND", b""))


def write_png(path, width, rows, level=6):
    with open(path, "wb") as f:
        f.write(png_bytes(width, rows, level))


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


# Each filter type's prediction from the bytes to the left, above and above left.
_PREDICTORS = (None, lambda a, b, c: a, lambda a, b, c: b, lambda a, b, c: (a + b) // 2, _paeth)


def read_png(path):
    """An 8-bit RGB or RGBA PNG, not interlaced (what qvm writes); alpha is dropped."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("%s is not a PNG file" % path)
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
    if not (depth == 8 and colour in (2, 6) and interlace == 0):
        raise ValueError("%s: only 8-bit RGB/RGBA PNGs are read here" % path)
    bpp = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(idat))
    stride = width * bpp
    prev = bytearray(stride)
    out = bytearray()
    for y in range(height):
        start = y * (stride + 1) + 1
        line = bytearray(raw[start:start + stride])
        predict = _PREDICTORS[raw[start - 1]]
        for i in range(stride if predict else 0):
            left, corner = (line[i - bpp], prev[i - bpp]) if i >= bpp else (0, 0)
            line[i] = (line[i] + predict(left, prev[i], corner)) & 0xFF
        prev = line
        out += line
        if bpp == 4:
            del out[3 - stride::4]  # this line's alpha bytes
    return Image(width, height, out)


def parse_ppm(data):
    """A binary P6 picture as ImageMagick writes it (maxval 255)."""
    fields = []
    for field in re.finditer(rb"\s*(?:#[^\n]*\n\s*)*(\S+)", data):  # comments skipped
        fields.append(field.group(1))
        pos = field.end()
        if len(fields) == 4:
            break
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError("the screenshot is not an 8-bit P6 picture")
    width, height = int(fields[1]), int(fields[2])
    return Image(width, height, data[pos + 1:pos + 1 + width * height * 3])
