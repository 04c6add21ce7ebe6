#!/usr/bin/env python3
"""Draws setup's pictures and writes them as uncompressed BMP and ICO files.

  WIZ_PIC.bmp   119 x 257, 24 bits per pixel: a computer with discs and a globe on a teal
                ground (the wizard pages' side picture, a BITMAP resource of setup.exe).
  restore.bmp   32 x 32, 16 bits per pixel (5-5-5): two server cases and a curved red arrow
                (the restore window's image; its bottom-left pixel is the transparent colour).
  setup.ico     the application's icon, images of 32 x 32 and 16 x 16, 32 bits per pixel
                with an alpha channel and an AND mask: a computer whose teal screen carries a
                green arrow pointing up (the MAINICON resource of setup.exe).

With --hex it also prints restore.bmp in the stored layout of a picture property
("TBitmap" as a length-byte string, a 32-bit size, the BMP file) as hex lines, ready to paste
into frmRestore.txt.  Run:  python3 mkpictures.py [--hex]
"""
import math
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


class Canvas:
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def frame(self, x0, y0, x1, y1, light, dark):
        for x in range(x0, x1 + 1):
            self.put(x, y0, light)
            self.put(x, y1, dark)
        for y in range(y0, y1 + 1):
            self.put(x0, y, light)
            self.put(x1, y, dark)

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def ring(self, cx, cy, r0, r1, c):
        for y in range(int(cy - r1) - 1, int(cy + r1) + 2):
            for x in range(int(cx - r1) - 1, int(cx + r1) + 2):
                d = (x - cx) ** 2 + (y - cy) ** 2
                if r0 * r0 <= d <= r1 * r1:
                    self.put(x, y, c)


def bmp24(cv):
    stride = (cv.w * 3 + 3) & ~3
    rows = []
    for y in range(cv.h - 1, -1, -1):  # bottom-up
        row = bytearray()
        for (r, g, b) in cv.px[y]:
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + data


def bmp16(cv):
    stride = (cv.w * 2 + 3) & ~3
    rows = []
    for y in range(cv.h - 1, -1, -1):
        row = bytearray()
        for (r, g, b) in cv.px[y]:
            row += struct.pack("<H", ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, 16, 0, len(data), 3780, 3780, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + data


TEAL = (0, 128, 128)
DARK_TEAL = (0, 96, 96)
WHITE = (255, 255, 255)
LIGHT = (224, 224, 224)
GREY = (192, 192, 192)
MID = (128, 128, 128)
DARK = (64, 64, 64)
BLACK = (0, 0, 0)
FUCHSIA = (255, 0, 255)
NAVY = (0, 0, 128)
BLUE = (0, 64, 192)
SEA = (40, 110, 220)
GREEN = (0, 160, 64)
YELLOW = (255, 255, 0)
RED = (220, 0, 0)
DARK_RED = (128, 0, 0)


def wizard_picture():
    cv = Canvas(119, 257, TEAL)
    # A soft diagonal shading of the ground.
    for y in range(257):
        for x in range(119):
            if (x + y) % 7 == 0 and y > 200:
                cv.put(x, y, DARK_TEAL)
    # The globe, upper part.
    gx, gy, gr = 62, 52, 34
    cv.disc(gx + 3, gy + 3, gr, DARK_TEAL)  # shadow
    cv.disc(gx, gy, gr, SEA)
    for y in range(gy - gr, gy + gr + 1):
        for x in range(gx - gr, gx + gr + 1):
            dx, dy = x - gx, y - gy
            if dx * dx + dy * dy > gr * gr:
                continue
            # Continents: a few blobs inside the sphere.
            blobs = ((-12, -14, 11), (10, -4, 13), (-6, 16, 8), (18, 18, 6))
            if any((dx - bx) ** 2 + (dy - by) ** 2 <= br * br for bx, by, br in blobs):
                cv.put(x, y, GREEN)
    # Meridians and parallels.
    for k in (-2, -1, 0, 1, 2):
        ry = gr * math.cos(k * math.pi / 6)
        yy = gy + int(round(gr * math.sin(k * math.pi / 6)))
        for x in range(int(gx - ry), int(gx + ry) + 1):
            cv.put(x, yy, NAVY)
        rx = abs(gr * math.sin(k * math.pi / 5))
        for t in range(0, 360, 2):
            a = math.radians(t)
            cv.put(int(round(gx + rx * math.cos(a))), int(round(gy + gr * math.sin(a))), NAVY)
    cv.ring(gx, gy, gr - 0.5, gr + 0.7, NAVY)
    # The monitor.
    mx0, my0, mx1, my1 = 14, 100, 104, 170
    cv.rect(mx0 + 3, my0 + 3, mx1 + 3, my1 + 3, DARK_TEAL)
    cv.rect(mx0, my0, mx1, my1, GREY)
    cv.frame(mx0, my0, mx1, my1, WHITE, DARK)
    cv.rect(mx0 + 8, my0 + 7, mx1 - 8, my1 - 13, NAVY)
    cv.frame(mx0 + 7, my0 + 6, mx1 - 7, my1 - 12, DARK, WHITE)
    for i, y in enumerate(range(my0 + 13, my1 - 18, 6)):  # lines of text on the screen
        cv.rect(mx0 + 14, y, mx0 + 14 + (50 - 9 * (i % 3)), y + 1, LIGHT)
    cv.disc(mx1 - 12, my1 - 6, 2, GREEN)  # power light
    cv.rect(50, my1 + 1, 68, my1 + 6, MID)  # neck
    cv.rect(36, my1 + 7, 82, my1 + 10, GREY)  # foot
    cv.frame(36, my1 + 7, 82, my1 + 10, WHITE, DARK)
    # The system unit with two drive slots.
    ux0, uy0, ux1, uy1 = 8, 184, 110, 206
    cv.rect(ux0 + 3, uy0 + 3, ux1 + 3, uy1 + 3, DARK_TEAL)
    cv.rect(ux0, uy0, ux1, uy1, GREY)
    cv.frame(ux0, uy0, ux1, uy1, WHITE, DARK)
    cv.rect(60, 189, 100, 192, DARK)
    cv.rect(60, 197, 100, 200, DARK)
    cv.rect(16, 191, 22, 197, GREEN)
    # Discs: a floppy and two compact discs in front.
    fx0, fy0 = 12, 216
    cv.rect(fx0 + 2, fy0 + 2, fx0 + 32, fy0 + 32, DARK_TEAL)
    cv.rect(fx0, fy0, fx0 + 30, fy0 + 30, BLACK)
    cv.rect(fx0 + 7, fy0, fx0 + 23, fy0 + 9, GREY)
    cv.rect(fx0 + 17, fy0 + 2, fx0 + 20, fy0 + 7, DARK)
    cv.rect(fx0 + 5, fy0 + 15, fx0 + 25, fy0 + 30, WHITE)
    for y in (fy0 + 19, fy0 + 23, fy0 + 27):
        cv.rect(fx0 + 8, y, fx0 + 22, y, MID)
    for (cx, cy) in ((66, 232), (94, 238)):
        cv.disc(cx + 2, cy + 2, 14, DARK_TEAL)
        cv.disc(cx, cy, 14, LIGHT)
        cv.ring(cx, cy, 6, 10, (200, 200, 255))
        cv.ring(cx, cy, 9, 12, (255, 230, 170))
        cv.ring(cx, cy, 13.3, 14.2, MID)
        cv.disc(cx, cy, 3, TEAL)
        cv.ring(cx, cy, 3, 4, MID)
    return cv


def restore_picture():
    bg = FUCHSIA  # transparent colour (bottom-left pixel); the drawing itself uses none
    cv = Canvas(32, 32, bg)

    def server(x0, y0, x1, y1):
        cv.rect(x0, y0, x1, y1, GREY)
        cv.frame(x0, y0, x1, y1, WHITE, DARK)
        for y in range(y0 + 3, y0 + 9, 3):
            cv.rect(x0 + 2, y, x1 - 2, y + 1, MID)
        cv.put(x0 + 2, y1 - 3, GREEN)
        cv.put(x0 + 3, y1 - 3, GREEN)
        for y in range(y0 + 11, y1 - 4, 2):
            cv.rect(x0 + 2, y, x1 - 2, y, DARK)

    server(1, 10, 11, 30)
    server(20, 10, 30, 30)
    # A red arrow curving from the right case over to the left one.
    cx, cy, r = 16, 13, 9
    for t in range(20, 181, 2):
        a = math.radians(t)
        for dr in (-1, 0, 1):
            cv.put(int(round(cx + (r + dr) * math.cos(a))), int(round(cy - (r + dr) * math.sin(a))), RED)
    # Arrow head pointing down at the left case.
    hx, hy = cx - r, cy + 1
    for i in range(5):
        cv.rect(hx - 4 + i, hy + i, hx + 4 - i, hy + i, RED)
    cv.put(hx, hy + 5, DARK_RED)
    return cv


def ico_image(cv, transparent):
    """One ICO image: BITMAPINFOHEADER (double height), BGRA rows bottom-up, AND mask."""
    xor = bytearray()
    for y in range(cv.h - 1, -1, -1):
        for c in cv.px[y]:
            if c == transparent:
                xor += bytes((0, 0, 0, 0))
            else:
                xor += bytes((c[2], c[1], c[0], 255))
    mask_stride = ((cv.w + 31) // 32) * 4
    mask = bytearray()
    for y in range(cv.h - 1, -1, -1):
        row = bytearray(mask_stride)
        for x, c in enumerate(cv.px[y]):
            if c == transparent:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + bytes(xor) + bytes(mask)


def ico(canvases, transparent):
    images = [ico_image(cv, transparent) for cv in canvases]
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = len(head) + 16 * len(images)
    entries = b""
    for cv, img in zip(canvases, images):
        entries += struct.pack("<BBBBHHII", cv.w, cv.h, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return head + entries + b"".join(images)


def icon_picture(size):
    bg = FUCHSIA  # transparent
    cv = Canvas(size, size, bg)
    k = size / 32.0

    def s(v):
        return int(round(v * k))

    # The monitor: grey frame, teal screen, a neck and a foot.
    cv.rect(s(2), s(3), s(29) - (1 if size == 16 else 0), s(23), GREY)
    cv.frame(s(2), s(3), s(29) - (1 if size == 16 else 0), s(23), WHITE, DARK)
    cv.rect(s(5), s(6), s(26) - (1 if size == 16 else 0), s(20), TEAL)
    cv.frame(s(5) - 1, s(6) - 1, s(26) - (1 if size == 16 else 0) + 1, s(20) + 1, DARK, WHITE)
    cv.rect(s(13), s(24), s(18), s(26), MID)
    cv.rect(s(8), s(27), s(23), s(29), GREY)
    cv.frame(s(8), s(27), s(23), s(29), WHITE, DARK)
    # The green arrow on the screen, pointing up: the upgrade.
    cx = (s(5) + s(26) - (1 if size == 16 else 0)) // 2
    top, bottom = s(7), s(19)
    head = max(2, s(6))
    for i in range(head):
        cv.rect(cx - i, top + i, cx + i, top + i, GREEN)
    shaft = max(1, s(2))
    cv.rect(cx - shaft, top + head, cx + shaft, bottom, GREEN)
    return cv


def main():
    wiz = bmp24(wizard_picture())
    res = bmp16(restore_picture())
    with open(os.path.join(HERE, "WIZ_PIC.bmp"), "wb") as f:
        f.write(wiz)
    with open(os.path.join(HERE, "restore.bmp"), "wb") as f:
        f.write(res)
    with open(os.path.join(HERE, "setup.ico"), "wb") as f:
        f.write(ico([icon_picture(32), icon_picture(16)], FUCHSIA))
    if "--hex" in sys.argv:
        stored = bytes([7]) + b"TBitmap" + struct.pack("<I", len(res)) + res
        h = stored.hex().upper()
        for i in range(0, len(h), 64):
            print("      " + h[i:i + 64])


if __name__ == "__main__":
    main()
