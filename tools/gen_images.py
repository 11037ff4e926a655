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
PALE = (225, 235, 250, 255)
DARK = (20, 30, 70, 255)

# Bitmaps (not icons) mark their transparent parts with this colour; the button images take
# their bottom-left pixel as the transparent colour, so that pixel must stay MAGENTA.
MAGENTA = (255, 0, 255)


# ---- icons -------------------------------------------------------------------------------

def inside_round_rect(cx, cy, x0, y0, x1, y1, r):
    if not (x0 <= cx <= x1 and y0 <= cy <= y1):
        return False
    kx = min(max(cx, x0 + r), x1 - r)
    ky = min(max(cy, y0 + r), y1 - r)
    return (cx - kx) ** 2 + (cy - ky) ** 2 <= r * r


def bubble_shape(s, box, tail_left):
    """Membership test of one speech bubble in a 32-unit design grid scaled by s."""
    x0, y0, x1, y1 = (v * s for v in box)
    r = 4 * s

    def test(cx, cy):
        if inside_round_rect(cx, cy, x0, y0, x1, y1, r):
            return True
        # a small triangular tail under the bubble
        ty0, ty1 = y1 - s, y1 + 5 * s
        if not (ty0 <= cy <= ty1):
            return False
        depth = (cy - ty0) / (ty1 - ty0)
        if tail_left:
            tx = x0 + 5 * s
            return tx <= cx <= tx + 6 * s * (1 - depth)
        tx = x1 - 5 * s
        return tx - 6 * s * (1 - depth) <= cx <= tx

    def interior(cx, cy):
        return inside_round_rect(cx, cy, x0 + s * 1.5, y0 + s * 1.5, x1 - s * 1.5, y1 - s * 1.5, r - s)

    return test, interior


def two_bubbles(size, back, front, arrow=None):
    """Two overlapping speech bubbles; with an arrow colour, an arrow points into them."""
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    s = size / 32.0
    back_in, back_inner = bubble_shape(s, (1, 2, 21, 16), True)
    front_in, front_inner = bubble_shape(s, (10, 10, 31, 25), False)
    for y in range(size):
        for x in range(size):
            cx, cy = x + 0.5, y + 0.5
            if back_in(cx, cy):
                px[y][x] = back if back_inner(cx, cy) else DARK
            if front_in(cx, cy):
                px[y][x] = front if front_inner(cx, cy) else DARK
    # text lines on the front bubble
    for ly in (15, 19):
        for y in range(int(ly * s), int(ly * s + max(1, 1.5 * s))):
            for x in range(int(14 * s), int(27 * s)):
                if front_inner(x + 0.5, y + 0.5):
                    px[y][x] = WHITE
    if arrow:
        # a short arrow from the lower left, its head resting on the bubbles
        for y in range(size):
            for x in range(size):
                cx, cy = (x + 0.5) / s, (y + 0.5) / s
                # shaft along the diagonal from (1, 31) to (9, 23)
                on_shaft = abs((cx - 1) - (31 - cy)) <= 1.8 and 1 <= cx <= 8.5
                # head: a right triangle with its corner at (12, 20)
                on_head = cx <= 12 and cy >= 20 and (12 - cx) + (cy - 20) <= 8
                if on_shaft or on_head:
                    px[y][x] = arrow
    return px


# ---- bitmaps -----------------------------------------------------------------------------

class Canvas:
    """A small RGB raster; coordinates are (x, y) from the top left."""

    def __init__(self, w, h, fill=MAGENTA):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        """Filled, both corners inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def disc(self, cx, cy, r, c, r_in=-1.0):
        """Pixels whose centres lie within r of (cx, cy) and farther than r_in."""
        for y in range(self.h):
            for x in range(self.w):
                d2 = (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2
                if r_in * r_in < d2 <= r * r or (r_in < 0 and d2 <= r * r):
                    self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1) * 4
        for i in range(steps + 1):
            t = i / steps
            x = x0 + (x1 - x0) * t
            y = y0 + (y1 - y0) * t
            for dy in range(width):
                for dx in range(width):
                    self.set(int(round(x)) + dx - width // 2, int(round(y)) + dy - width // 2, c)

    def blit(self, other, ox, oy, skip=MAGENTA):
        for y in range(other.h):
            for x in range(other.w):
                c = other.px[y][x]
                if c != skip:
                    self.set(ox + x, oy + y, c)


def strip(canvases):
    """Images side by side, as an image list loads them."""
    out = Canvas(sum(c.w for c in canvases), canvases[0].h)
    x = 0
    for c in canvases:
        out.blit(c, x, 0, skip=None)
        x += c.w
    return out


def greyed(canvas):
    """The disabled look: light greys from the luminance, transparent parts kept."""
    out = Canvas(canvas.w, canvas.h)
    for y in range(canvas.h):
        for x in range(canvas.w):
            c = canvas.px[y][x]
            if c == MAGENTA:
                continue
            lum = (c[0] * 30 + c[1] * 59 + c[2] * 11) // 100
            v = 120 + lum * 110 // 255
            out.px[y][x] = (v, v, v)
    return out


# Flag colours
FRED = (206, 17, 38)
FWHITE = (255, 255, 255)
FBLUE = (0, 35, 149)
FGREEN = (0, 146, 70)
FBLACK = (0, 0, 0)
FGOLD = (255, 206, 0)
FYELLOW = (255, 196, 0)
PT_GREEN = (0, 102, 0)
PT_RED = (255, 0, 0)
ES_RED = (170, 21, 27)
US_BLUE = (60, 59, 110)
US_RED = (178, 34, 52)


def flag_us(w=9, h=6):
    c = Canvas(w, h)
    for y in range(h):
        c.rect(0, y, w - 1, y, US_RED if y % 2 == 0 else FWHITE)
    cw, ch = (w * 4 + 8) // 9, (h + 1) // 2
    c.rect(0, 0, cw - 1, ch - 1, US_BLUE)
    if w >= 9:
        c.set(1, 1, FWHITE)
        c.set(3, 1, FWHITE)
    return c


def vertical_tricolour(a, b, d, w=9, h=6):
    c = Canvas(w, h)
    third = w // 3
    c.rect(0, 0, third - 1, h - 1, a)
    c.rect(third, 0, w - third - 1, h - 1, b)
    c.rect(w - third, 0, w - 1, h - 1, d)
    return c


def flag_fr(w=9, h=6):
    return vertical_tricolour(FBLUE, FWHITE, FRED, w, h)


def flag_de(w=9, h=6):
    c = Canvas(w, h)
    third = h // 3
    c.rect(0, 0, w - 1, third - 1, FBLACK)
    c.rect(0, third, w - 1, h - third - 1, FRED)
    c.rect(0, h - third, w - 1, h - 1, FGOLD)
    return c


def flag_it(w=9, h=6):
    return vertical_tricolour(FGREEN, FWHITE, FRED, w, h)


def flag_pt(w=9, h=6):
    c = Canvas(w, h)
    split = w * 2 // 5
    c.rect(0, 0, split - 1, h - 1, PT_GREEN)
    c.rect(split, 0, w - 1, h - 1, PT_RED)
    # the armillary sphere, a yellow dot on the border
    c.rect(split - 1, h // 2 - 1, split, h // 2, FYELLOW)
    return c


def flag_es(w=9, h=6):
    c = Canvas(w, h)
    band = max(1, h // 4)
    c.rect(0, 0, w - 1, h - 1, FYELLOW)
    c.rect(0, 0, w - 1, band - 1, ES_RED)
    c.rect(0, h - band, w - 1, h - 1, ES_RED)
    c.set(2, h // 2 - 1, ES_RED)
    c.set(2, h // 2, ES_RED)
    return c


# In the order of the language names: English, French, German, Italian, Portuguese, Spanish.
FLAGS = [flag_us, flag_fr, flag_de, flag_it, flag_pt, flag_es]


def button_languages():
    c = Canvas(16, 16)
    for (ox, oy, make) in ((1, 2, flag_us), (4, 5, flag_de), (7, 8, flag_fr)):
        f = make(8, 6)
        c.rect(ox - 1, oy - 1, ox + 8, oy + 6, (60, 60, 60))
        c.blit(f, ox, oy, skip=None)
    return c


def button_translate():
    c = Canvas(16, 16)
    c.line(9, 9, 14, 14, (90, 60, 30), width=2)  # handle
    c.disc(6.5, 6.5, 5.5, (40, 40, 40), 4.0)      # rim
    c.disc(6.5, 6.5, 4.0, (200, 230, 255))        # glass
    c.set(4, 4, FWHITE)
    c.set(5, 4, FWHITE)
    c.set(4, 5, FWHITE)
    return c


def button_minimize():
    c = Canvas(16, 16)
    c.rect(7, 12, 14, 13, (40, 40, 40))
    return c


# ---- menu images, in the order of their indices ----

MB = (10, 36, 106)        # window title blue
MFRAME = (64, 64, 64)
MWHITE = (255, 255, 255)


def window_at(c, x0, y0, x1, y1):
    c.rect(x0, y0, x1, y1, MWHITE)
    c.frame(x0, y0, x1, y1, MFRAME)
    c.rect(x0 + 1, y0 + 1, x1 - 1, y0 + 2, MB)


def menu_two_windows():
    c = Canvas(16, 16)
    window_at(c, 1, 1, 10, 9)
    window_at(c, 5, 6, 14, 14)
    return c


PIN_RED = (200, 30, 30)
PIN_DARK = (120, 10, 10)
NEEDLE = (128, 128, 128)


def menu_pin_flat():
    c = Canvas(16, 16)
    c.line(1, 9, 6, 9, NEEDLE)
    c.rect(7, 7, 11, 11, PIN_RED)
    c.rect(12, 5, 13, 13, PIN_DARK)
    c.rect(6, 8, 6, 10, PIN_DARK)
    return c


def menu_pin_in():
    c = Canvas(16, 16)
    c.rect(6, 2, 10, 7, PIN_RED)
    c.rect(4, 8, 12, 9, PIN_DARK)
    c.rect(8, 10, 8, 12, NEEDLE)
    c.rect(3, 13, 13, 13, (150, 150, 150))  # the surface it is pushed into
    return c


def menu_window():
    c = Canvas(16, 16)
    window_at(c, 1, 2, 14, 13)
    return c


def menu_square():
    c = Canvas(16, 16)
    c.rect(3, 3, 12, 12, (90, 90, 90))
    c.rect(4, 4, 11, 11, (220, 220, 220))
    return c


BOARD = (150, 100, 50)
CLIP = (170, 170, 170)


def menu_clipboard():
    c = Canvas(16, 16)
    c.rect(2, 2, 13, 15, BOARD)
    c.rect(4, 4, 11, 13, MWHITE)
    for y in (6, 8, 10):
        c.rect(5, y, 10, y, (120, 120, 120))
    c.rect(5, 1, 10, 3, CLIP)
    c.frame(5, 1, 10, 3, MFRAME)
    return c


def menu_clipboard_arrow():
    c = menu_clipboard()
    red = (220, 0, 0)
    c.rect(7, 11, 11, 12, red)           # shaft
    for i in range(4):                   # head pointing right
        c.rect(11 + i, 8 + i, 11 + i, 15 - i, red)
    return c


def menu_letter_g():
    c = Canvas(16, 16)
    blue = (30, 80, 200)
    for y in range(16):
        for x in range(16):
            dx, dy = x + 0.5 - 8, y + 0.5 - 8
            d2 = dx * dx + dy * dy
            # the open ring: leave out the upper right quarter's lower half
            if 16 <= d2 <= 49 and not (dx > 0 and -4.5 < dy < 0.5):
                c.set(x, y, blue)
    c.rect(8, 7, 14, 9, blue)  # the bar of the G
    return c


def menu_gear():
    import math
    c = Canvas(16, 16)
    grey = (90, 90, 110)
    for y in range(16):
        for x in range(16):
            dx, dy = x + 0.5 - 8, y + 0.5 - 8
            r = math.hypot(dx, dy)
            a = (math.atan2(dy, dx) + math.pi) / (2 * math.pi) * 8
            tooth = (a % 1.0) < 0.5
            if 2.2 < r <= 5 or (tooth and 5 < r <= 7.5):
                c.set(x, y, grey)
    return c


def menu_red_cross():
    c = Canvas(16, 16)
    red = (210, 0, 0)
    c.line(3, 3, 12, 12, red, width=3)
    c.line(12, 3, 3, 12, red, width=3)
    return c


def menu_computer_info():
    c = Canvas(16, 16)
    c.rect(1, 1, 11, 9, (60, 60, 60))       # monitor
    c.rect(2, 2, 10, 8, (0, 128, 128))      # screen
    c.rect(5, 10, 7, 11, (60, 60, 60))      # stand
    c.rect(2, 12, 10, 13, (60, 60, 60))     # base
    c.disc(12, 12, 4, (30, 80, 200))        # information sign
    c.rect(11, 9, 11, 9, MWHITE)
    c.rect(11, 11, 11, 14, MWHITE)
    return c


def menu_plus_circle():
    c = Canvas(16, 16)
    c.disc(8, 8, 7.5, (30, 80, 200))
    c.rect(7, 3, 8, 12, MWHITE)
    c.rect(3, 7, 12, 8, MWHITE)
    return c


MENU_IMAGES = [
    menu_two_windows, menu_pin_flat, menu_pin_in, menu_window, menu_square, menu_clipboard,
    menu_clipboard_arrow, menu_letter_g, menu_gear, menu_red_cross, menu_computer_info, menu_plus_circle,
]


def about_picture(size=128, drawn=72):
    """The about window's large picture: the tray's two bubbles on MAGENTA, kept in the left
    part of the square, since the window's text starts 77 pixels to the right of it."""
    out = Canvas(size, size)
    top = (size - drawn) // 2
    for y, row in enumerate(two_bubbles(drawn, PALE, BLUE, ORANGE)):
        for x, (r, g, b, a) in enumerate(row):
            if a:
                out.px[top + y][x] = (r, g, b)
    # the bottom-left pixel names the transparent colour
    out.px[size - 1][0] = MAGENTA
    return out


def with_disabled(c):
    return strip([c, greyed(c)])


def write_canvas(name, canvas):
    write_bmp(name, canvas.px)


# ---- the browser button's icon file and the close glyph -------------------------------------

# The sixteen colours of a 4-bit icon: the standard VGA palette.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette_256():
    """A 6 x 6 x 6 colour cube, then greys: enough for small drawn images."""
    levels = (0, 51, 102, 153, 204, 255)
    pal = [(r, g, b) for r in levels for g in levels for b in levels]
    pal += [(v, v, v) for v in range(8, 248, 6)][:256 - len(pal)]
    return pal + [(0, 0, 0)] * (256 - len(pal))


def nearest(pal, c):
    return min(range(len(pal)), key=lambda i: sum((pal[i][k] - c[k]) ** 2 for k in range(3)))


def ico_palette_image(px, pal, bits):
    """One icon image with a colour table: 4 or 8 bits per pixel, and the AND mask."""
    size = len(px)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, len(pal), 0)
    table = b"".join(bytes((b, g, r, 0)) for (r, g, b) in pal)
    row_bytes = ((size * bits + 31) // 32) * 4
    xor = bytearray()
    for row in reversed(px):
        line = bytearray(row_bytes)
        for x, (r, g, b, a) in enumerate(row):
            index = nearest(pal, (r, g, b)) if a else 0
            if bits == 8:
                line[x] = index
            else:
                line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += line
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(px):
        line = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + table + bytes(xor) + bytes(mask)


def write_palette_ico(name, images):
    """images: (pixels, bits) pairs; bits 4 or 8."""
    blobs = []
    for px, bits in images:
        pal = VGA16 if bits == 4 else palette_256()
        blobs.append(ico_palette_image(px, pal, bits))
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for (px, bits), blob in zip(images, blobs):
        size = len(px)
        colours = 16 if bits == 4 else 0
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    out += b"".join(blobs)
    with open(os.path.join(RES, name), "wb") as f:
        f.write(out)


def toolbar_icon():
    """The browser button: the program's bubble at 24, 20 and 16 pixels, each in 16 and 256 colours."""
    images = []
    for size in (24, 20, 16):
        px = bubble(size, BLUE, WHITE)
        images.append((px, 4))
        images.append((px, 8))
    return images


def close_glyph():
    """The close button's cross, 16 x 16 on MAGENTA."""
    c = Canvas(16, 16)
    grey = (80, 80, 80)
    c.line(4, 4, 11, 11, grey, width=2)
    c.line(11, 4, 4, 11, grey, width=2)
    c.px[15][0] = MAGENTA
    return c


def main():
    os.makedirs(RES, exist_ok=True)
    write_ico("parlix.ico", [bubble(32, BLUE, WHITE), bubble(16, BLUE, WHITE)])
    write_ico("tray0.ico", [two_bubbles(16, PALE, BLUE), two_bubbles(32, PALE, BLUE)])
    write_ico("tray1.ico", [two_bubbles(16, PALE, BLUE, ORANGE), two_bubbles(32, PALE, BLUE, ORANGE)])
    write_canvas("flags.bmp", strip([make() for make in FLAGS]))
    write_canvas("languages_bt.bmp", with_disabled(button_languages()))
    write_canvas("translate_bt.bmp", with_disabled(button_translate()))
    write_canvas("minimize_bt.bmp", button_minimize())
    write_canvas("menu_images.bmp", strip([make() for make in MENU_IMAGES]))
    write_canvas("about_picture.bmp", about_picture())
    write_palette_ico("toolbar_icon.ico", toolbar_icon())
    write_canvas("close_glyph.bmp", close_glyph())


if __name__ == "__main__":
    main()
