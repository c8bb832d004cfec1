#!/usr/bin/env python3
"""Draws the application icon (icon 128): a green scanning board with a chip and a glowing scan
line. Writes app_icon_<size>.png beside this script. Standard library only; run it again after
changing the drawing and commit the PNGs."""
import os
import struct
import zlib

SIZES = (16, 32, 48, 256)
SS = 4  # samples per pixel along each axis

BOARD = (31, 107, 58)
BOARD_EDGE = (16, 64, 34)
TRACE = (92, 178, 110)
CHIP = (40, 42, 46)
CHIP_TOP = (64, 67, 74)
PIN = (206, 206, 198)
SCANNED = (110, 200, 235)
BEAM = (255, 72, 48)
CORE = (255, 236, 200)


def in_round_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def sample(x, y, small):
    """Colour and alpha of the icon at (x, y) in 0..1 coordinates."""
    if not in_round_rect(x, y, 0.04, 0.04, 0.96, 0.96, 0.12):
        return (0, 0, 0, 0.0)
    col = BOARD_EDGE if not in_round_rect(x, y, 0.075, 0.075, 0.925, 0.925, 0.09) else BOARD
    # Traces from the chip's pins to the board edge (left out at the smallest size).
    if not small:
        for t in (0.36, 0.46, 0.54, 0.64):
            w = 0.018
            if abs(y - t) < w and (0.12 < x < 0.28 or 0.72 < x < 0.88):
                col = TRACE
            if abs(x - t) < w and (0.12 < y < 0.28 or 0.72 < y < 0.88):
                col = TRACE
        for (px, py) in ((0.12, 0.36), (0.12, 0.64), (0.88, 0.46), (0.88, 0.54),
                         (0.36, 0.88), (0.64, 0.12), (0.46, 0.12), (0.54, 0.88)):
            if (x - px) ** 2 + (y - py) ** 2 < 0.032 ** 2:
                col = TRACE
    # Pins around the chip.
    pins = (0.36, 0.46, 0.54, 0.64) if not small else (0.40, 0.60)
    pw = 0.028 if not small else 0.05
    for t in pins:
        if abs(y - t) < pw and (0.25 < x < 0.31 or 0.69 < x < 0.75):
            col = PIN
        if abs(x - t) < pw and (0.25 < y < 0.31 or 0.69 < y < 0.75):
            col = PIN
    # The chip, lighter top face, pin-1 mark.
    if in_round_rect(x, y, 0.30, 0.30, 0.70, 0.70, 0.03):
        col = CHIP
        if in_round_rect(x, y, 0.33, 0.33, 0.67, 0.67, 0.02):
            col = CHIP_TOP
            if not small and (x - 0.38) ** 2 + (y - 0.38) ** 2 < 0.022 ** 2:
                col = CHIP
    # The part already scanned, above the beam, is washed with light blue.
    beam_y = 0.58
    if y < beam_y and in_round_rect(x, y, 0.075, 0.075, 0.925, 0.925, 0.09):
        col = mix(col, SCANNED, 0.30)
    # The scan beam: a bright core with a red glow that fades with distance.
    d = abs(y - beam_y)
    if 0.06 < x < 0.94:
        glow = max(0.0, 1.0 - d / (0.09 if not small else 0.12))
        col = mix(col, BEAM, glow ** 2 * 0.9)
        if d < (0.012 if not small else 0.03):
            col = CORE
    return col + (1.0,)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def render(size):
    small = size <= 16
    rows = []
    for py in range(size):
        row = bytearray([0])  # PNG filter: none
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(SS):
                for sx in range(SS):
                    x = (px + (sx + 0.5) / SS) / size
                    y = (py + (sy + 0.5) / SS) / size
                    cr, cg, cb, ca = sample(x, y, small)
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            n = SS * SS
            if a > 0:
                row += bytes((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
            else:
                row += bytes((0, 0, 0, 0))
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for size in SIZES:
        with open(os.path.join(here, "app_icon_%d.png" % size), "wb") as f:
            f.write(png(size, render(size)))


if __name__ == "__main__":
    main()
