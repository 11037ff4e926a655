#!/usr/bin/env python3
"""Draws the program's icons and bitmaps into res/.

Everything is drawn here from simple shapes, so an image can be changed by editing
this script and running it again: python3 tools/gen_images.py
"""
import os
import struct

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")


def bubble(size, body, accent):
    """A speech bubble with two text lines: the program's mark. Returns rows of RGBA."""
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    s = size / 32.0
    x0, y0, x1, y1 = 2 * s, 3 * s, 30 * s, 23 * s
    r = 5 * s
    for y in range(size):
        for x in range(size):
            cx, cy = x + 0.5, y + 0.5
            inside = x0 <= cx <= x1 and y0 <= cy <= y1
            # round the corners
            for (kx, ky) in ((x0 + r, y0 + r), (x1 - r, y0 + r), (x0 + r, y1 - r), (x1 - r, y1 - r)):
                if (cx < x0 + r or cx > x1 - r) and (cy < y0 + r or cy > y1 - r):
                    if abs(cx - kx) <= r and abs(cy - ky) <= r:
                        inside = inside and (cx - kx) ** 2 + (cy - ky) ** 2 <= r * r
            # the tail of the bubble
            if 8 * s <= cx <= 16 * s and y1 <= cy <= 29 * s and (cx - 8 * s) <= (29 * s - cy) * 1.2:
                inside = True
            if inside:
                edge = not (x0 + s <= cx <= x1 - s and y0 + s <= cy <= y1 - s)
                px[y][x] = (20, 30, 70, 255) if edge and cy <= y1 else body
    for (ly, lx1) in ((9, 24), (15, 18)):
        for y in range(int(ly * s), int(ly * s + max(1, 2 * s))):
            for x in range(int(7 * s), int(lx1 * s)):
                px[y][x] = accent
    return px


def ico_image(px):
    size = len(px)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    data = b"".join(bytes((b, g, r, a)) for row in reversed(px) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(px):
        bits = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + data + bytes(mask)


def write_ico(name, images):
    blobs = [ico_image(px) for px in images]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for px, blob in zip(images, blobs):
        size = len(px)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    out += b"".join(blobs)
    with open(os.path.join(RES, name), "wb") as f:
        f.write(out)


def write_bmp(name, px):
    """24-bit bottom-up BMP; rows of (r, g, b)."""
    h, w = len(px), len(px[0])
    stride = (w * 3 + 3) & ~3
    pixels = b""
    for row in reversed(px):
        line = b"".join(bytes((b, g, r)) for (r, g, b) in row)
        pixels += line + b"\0" * (stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    with open(os.path.join(RES, name), "wb") as f:
        f.write(head + info + pixels)


BLUE = (60, 110, 200, 255)
ORANGE = (235, 140, 40, 255)
WHITE = (255, 255, 255, 255)


def main():
    os.makedirs(RES, exist_ok=True)
    write_ico("parlix.ico", [bubble(32, BLUE, WHITE), bubble(16, BLUE, WHITE)])
    write_ico("tray0.ico", [bubble(16, BLUE, WHITE), bubble(32, BLUE, WHITE)])
    write_ico("tray1.ico", [bubble(16, ORANGE, WHITE), bubble(32, ORANGE, WHITE)])


if __name__ == "__main__":
    main()
