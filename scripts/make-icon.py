#!/usr/bin/env python3
"""Builds a 16-colour Windows icon file from a text pixel map.

    make-icon.py MAP.txt OUT.ico

The map format is described at the top of res/setup-icon.txt. Every image
becomes a 4-bit DIB with the standard 16-colour palette and an AND mask;
the images are written in the order the map lists them.
"""

import struct
import sys

# The 16-colour Windows palette, index order, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

TRANSPARENT = None


class MapError(Exception):
    pass


def parse_map(text, name):
    """Returns a list of (size, rows); each row is a list of palette indices or
    TRANSPARENT."""
    images = []
    current = None
    for number, line in enumerate(text.splitlines(), 1):
        where = f"{name}:{number}"
        line = line.rstrip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("image"):
            words = line.split()
            if len(words) != 2 or "x" not in words[1]:
                raise MapError(f"{where}: expected 'image WxH'")
            width, height = (int(v) for v in words[1].split("x"))
            if width != height or width not in (16, 32, 48):
                raise MapError(f"{where}: icon images are square, 16, 32 or 48 pixels")
            current = (width, [])
            images.append(current)
            continue
        if current is None:
            raise MapError(f"{where}: pixel row before any 'image' line")
        size, rows = current
        if len(rows) == size:
            raise MapError(f"{where}: more than {size} rows")
        if len(line) != size:
            raise MapError(f"{where}: row is {len(line)} pixels wide, expected {size}")
        row = []
        for ch in line:
            if ch == ".":
                row.append(TRANSPARENT)
            elif ch in "0123456789abcdefABCDEF":
                row.append(int(ch, 16))
            else:
                raise MapError(f"{where}: unknown pixel {ch!r}")
        rows.append(row)
    if not images:
        raise MapError(f"{name}: no images")
    for size, rows in images:
        if len(rows) != size:
            raise MapError(f"{name}: a {size}x{size} image has {len(rows)} rows")
    return images


def padded(row_bytes):
    return (row_bytes + 3) // 4 * 4


def encode_image(size, rows):
    """One icon image: header with doubled height, palette, XOR bits, AND mask;
    rows bottom-up, each padded to four bytes."""
    xor_stride = padded((size * 4 + 7) // 8)
    and_stride = padded((size + 7) // 8)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, pixel in enumerate(row):
            # A transparent pixel is black in the XOR bits so the screen shows
            # through unchanged where the mask is set.
            index = 0 if pixel is TRANSPARENT else pixel
            line[x // 2] |= index << 4 if x % 2 == 0 else index
            if pixel is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def build_icon(images):
    blobs = [encode_image(size, rows) for size, rows in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for (size, _), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def main(argv):
    if len(argv) != 3:
        print("usage: make-icon.py MAP.txt OUT.ico", file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        text = f.read()
    try:
        images = parse_map(text, argv[1])
    except MapError as e:
        print(f"make-icon: {e}", file=sys.stderr)
        return 1
    with open(argv[2], "wb") as f:
        f.write(build_icon(images))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
