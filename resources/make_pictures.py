#!/usr/bin/env python3
"""Rebuilds every picture of resources/ from the pixel maps in resources/src/.

Python 3 standard library only. Run from anywhere:  python3 resources/make_pictures.py
The files it writes are committed, so building the program never needs this script.

A pixel map is a text file:
    # comment
    size WIDTH HEIGHT
    colour CHAR transparent | colour CHAR RRGGBB [name]
    rows
    WIDTH characters, HEIGHT lines
Every colour must be one of the 16 classic Windows colours, so each picture can be
written as a 4-bit icon or bitmap with the same fixed palette.

Each picture is also written at twice its size for screens at 2x (NAME@2x.png, and a second
image in each button's icon), and the application icon at every size a desktop asks for,
16 to 256 pixels. Larger sizes repeat each pixel of a map, so the pixel art stays sharp.
"""

import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SRC = os.path.join(HERE, "src")

# The classic 16-colour palette, in the order 4-bit Windows bitmaps use.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

TRANSPARENT = None


class Picture:
    """A grid of palette indices; TRANSPARENT where the background shows through."""

    def __init__(self, name, width, height, pixels):
        self.name, self.width, self.height, self.pixels = name, width, height, pixels

    def rgba(self, x, y):
        index = self.pixels[y][x]
        if index is TRANSPARENT:
            return (0, 0, 0, 0)
        return PALETTE[index] + (255,)

    def has_transparency(self):
        return any(p is TRANSPARENT for row in self.pixels for p in row)


def scaled(picture, width, height):
    """The picture at another size, each pixel taken from the nearest one of the map: no blur, no new colours."""
    pixels = [[picture.pixels[y * picture.height // height][x * picture.width // width] for x in range(width)]
              for y in range(height)]
    return Picture(picture.name, width, height, pixels)


def read_pixel_map(path):
    name = os.path.splitext(os.path.basename(path))[0]
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    size, legend, rows = None, {}, None
    for number, line in enumerate(lines, 1):
        where = f"{path}:{number}"
        if rows is not None:
            rows.append(line)
            continue
        words = line.split()
        if not words or words[0].startswith("#"):
            continue
        if words[0] == "size" and len(words) == 3:
            size = (int(words[1]), int(words[2]))
        elif words[0] == "colour" and len(words) >= 3 and len(words[1]) == 1:
            if words[2] == "transparent":
                legend[words[1]] = TRANSPARENT
            else:
                rgb = tuple(int(words[2][i:i + 2], 16) for i in (0, 2, 4))
                if len(words[2]) != 6 or rgb not in PALETTE:
                    sys.exit(f"{where}: {words[2]} is not one of the 16 classic colours")
                legend[words[1]] = PALETTE.index(rgb)
        elif words == ["rows"]:
            rows = []
        else:
            sys.exit(f"{where}: cannot read this line")
    if size is None or rows is None:
        sys.exit(f"{path}: needs a size line and a rows line")
    width, height = size
    while rows and not rows[-1].strip():
        rows.pop()
    if len(rows) != height:
        sys.exit(f"{path}: {len(rows)} rows, expected {height}")
    pixels = []
    for y, row in enumerate(rows):
        if len(row) != width:
            sys.exit(f"{path}: row {y} has {len(row)} characters, expected {width}")
        unknown = set(row) - set(legend)
        if unknown:
            sys.exit(f"{path}: row {y} uses {''.join(sorted(unknown))}, not in the legend")
        pixels.append([legend[c] for c in row])
    return Picture(name, width, height, pixels)


def png(picture):
    """8-bit PNG: RGBA when something is transparent, else RGB."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    channels = 4 if picture.has_transparency() else 3
    raw = bytearray()
    for y in range(picture.height):
        raw.append(0)  # filter: none
        for x in range(picture.width):
            raw.extend(picture.rgba(x, y)[:channels])
    header = struct.pack(">IIBBBBB", picture.width, picture.height, 8, 6 if channels == 4 else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def four_bit_rows(picture):
    """Bottom-up rows of 4-bit palette indices, each padded to 4 bytes; transparent is index 0."""
    rows = []
    for y in reversed(range(picture.height)):
        indices = [p or 0 for p in picture.pixels[y]] + [0] * (picture.width % 2)
        rows.append(padded(bytes(indices[i] << 4 | indices[i + 1] for i in range(0, len(indices), 2))))
    return b"".join(rows)


def and_mask_rows(picture):
    """Bottom-up 1-bit rows: 1 where the background shows through."""
    rows = []
    for y in reversed(range(picture.height)):
        bits = [1 if p is TRANSPARENT else 0 for p in picture.pixels[y]]
        bits += [0] * (-len(bits) % 8)
        rows.append(padded(bytes(
            sum(bit << (7 - i) for i, bit in enumerate(bits[j:j + 8])) for j in range(0, len(bits), 8))))
    return b"".join(rows)


def palette_quads():
    return b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)


def bitmap_info(width, height, bits, image_size, colours):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 0, 0, colours, 0)


def ico(pictures):
    """Windows icon holding 4-bit 16-colour images, each with its AND mask."""
    images = []
    for p in pictures:
        xor, mask = four_bit_rows(p), and_mask_rows(p)
        # An icon's header gives twice the height: the colour image and the mask, stacked.
        images.append(bitmap_info(p.width, 2 * p.height, 4, len(xor) + len(mask), 16)
                      + palette_quads() + xor + mask)
    out = struct.pack("<HHH", 0, 1, len(pictures))
    offset = 6 + 16 * len(pictures)
    for p, image in zip(pictures, images):
        out += struct.pack("<BBBBHHII", p.width % 256, p.height % 256, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def bmp(picture):
    """24-bit bottom-up BMP; transparent pixels, if any, become white."""
    rows = []
    for y in reversed(range(picture.height)):
        row = bytearray()
        for x in range(picture.width):
            r, g, b, a = picture.rgba(x, y)
            row.extend((b, g, r) if a else (255, 255, 255))
        rows.append(padded(bytes(row)))
    data = b"".join(rows)
    info = bitmap_info(picture.width, picture.height, 24, len(data), 0)
    return struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info)) + info + data


def lzw(indices, min_code_size):
    """GIF's variable-width LZW, codes packed least significant bit first."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, acc, nbits = bytearray(), 0, 0

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    def fresh_table():
        return {(i,): i for i in range(clear)}

    table, width = fresh_table(), min_code_size + 1
    emit(clear, width)
    current = ()
    for index in indices:
        longer = current + (index,)
        if longer in table:
            current = longer
            continue
        emit(table[current], width)
        next_code = len(table) + 2
        if next_code < 4096:
            table[longer] = next_code
            # The decoder widens its codes once the code it would add next no longer fits.
            if next_code == 1 << width and width < 12:
                width += 1
        else:
            emit(clear, width)
            table, width = fresh_table(), min_code_size + 1
        current = (index,)
    emit(table[current], width)
    # The decoder adds an entry on reading that last code, which may widen the end code.
    if len(table) + 2 == 1 << width and width < 12:
        width += 1
    emit(end, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif(picture):
    """GIF89a with the 16-colour palette; transparent pixels, if any, become white."""
    white = PALETTE.index((255, 255, 255))
    indices = [white if p is TRANSPARENT else p for row in picture.pixels for p in row]
    data = lzw(indices, 4)
    blocks = b"".join(bytes((len(data[i:i + 255]),)) + data[i:i + 255] for i in range(0, len(data), 255))
    colours = b"".join(bytes(rgb) for rgb in PALETTE)
    return (b"GIF89a" + struct.pack("<HHBBB", picture.width, picture.height, 0xF3, 0, 0) + colours
            + b"," + struct.pack("<HHHHB", 0, 0, picture.width, picture.height, 0)
            + bytes((4,)) + blocks + b"\0;")


def main():
    maps = {}
    for file in sorted(os.listdir(SRC)):
        if file.endswith(".txt"):
            picture = read_pixel_map(os.path.join(SRC, file))
            maps[picture.name] = picture

    def need(name, width, height):
        picture = maps.get(name)
        if picture is None or (picture.width, picture.height) != (width, height):
            sys.exit(f"src/{name}.txt must be a {width} x {height} pixel map")
        return picture

    icon16, icon32 = need("app_icon_16", 16, 16), need("app_icon_32", 32, 32)
    about, quit_ = need("about_button", 32, 32), need("quit_button", 32, 32)
    donation = need("donation", 100, 44)

    def twice(picture):
        return scaled(picture, 2 * picture.width, 2 * picture.height)

    # The 16-pixel map is the better start below 32 pixels and at 48 (three times), the 32-pixel one above.
    icons = [icon16, scaled(icon16, 24, 24), icon32, scaled(icon16, 48, 48)]
    icons += [scaled(icon32, size, size) for size in (64, 128, 256)]
    outputs = {f"app_icon_{icon.width}.png": png(icon) for icon in icons}
    outputs.update({
        "about_button.png": png(about),
        "about_button@2x.png": png(twice(about)),
        "quit_button.png": png(quit_),
        "quit_button@2x.png": png(twice(quit_)),
        "donation.png": png(donation),
        "donation@2x.png": png(twice(donation)),
        "donation.gif": gif(donation),
        "donation.bmp": bmp(donation),
        "app_icon.ico": ico(icons),
        "about_button.ico": ico([about, twice(about)]),
        "quit_button.ico": ico([quit_, twice(quit_)]),
    })
    for file, data in outputs.items():
        with open(os.path.join(HERE, file), "wb") as f:
            f.write(data)
        print(f"resources/{file}: {len(data)} bytes")


if __name__ == "__main__":
    main()
