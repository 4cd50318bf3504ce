#!/usr/bin/python3
"""Draws the four status-bar lamp pictures (58 x 24, 24-bit BMP) into the folder given, default: beside this file.

The pictures are committed; run this again only to change their look. Only the standard library is used.
"""
import math
import struct
import sys
from pathlib import Path

WIDTH, HEIGHT = 58, 24
BACKGROUND = (240, 240, 240)  # the usual face colour of status bars, so the lamp blends in

# (lit colour, unlit colour) per lamp
COLOURS = {
    "RED": ((255, 40, 30), (96, 30, 28)),
    "GREEN": ((40, 230, 60), (28, 80, 34)),
}


def lamp_pixels(colour, lit):
    """A pill-shaped lamp in a dark bezel, drawn with 4x4 supersampling for smooth edges."""
    cx, cy = WIDTH / 2, HEIGHT / 2
    half_len, radius, bezel = 15.0, 8.0, 2.0
    samples = 4
    rows = []
    for y in range(HEIGHT):
        row = []
        for x in range(WIDTH):
            acc = [0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    px = x + (sx + 0.5) / samples
                    py = y + (sy + 0.5) / samples
                    dx = max(abs(px - cx) - half_len, 0.0)
                    dist = math.hypot(dx, py - cy)  # distance from the pill's spine
                    if dist <= radius:
                        # shade towards a highlight above the centre line
                        shine = max(0.0, 1.0 - math.hypot(dx, py - (cy - 3.0)) / radius)
                        gain = 0.75 + 0.25 * (1.0 - dist / radius)
                        if lit:
                            c = [min(255.0, ch * gain + 150.0 * shine * shine) for ch in colour]
                        else:
                            c = [ch * gain + 40.0 * shine * shine for ch in colour]
                    elif dist <= radius + bezel:
                        c = (60.0, 60.0, 60.0)
                    else:
                        c = BACKGROUND
                    for i in range(3):
                        acc[i] += c[i]
            n = samples * samples
            row.append(tuple(int(round(a / n)) for a in acc))
        rows.append(row)
    return rows


def write_bmp(path, rows):
    stride = (WIDTH * 3 + 3) & ~3
    image = bytearray()
    for row in reversed(rows):  # BMP rows run bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        image += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(image), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    path.write_bytes(header + info + bytes(image))


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    for name, (on, off) in COLOURS.items():
        write_bmp(out / f"LANP_ON_{name}.bmp", lamp_pixels(on, True))
        write_bmp(out / f"LANP_OFF_{name}.bmp", lamp_pixels(off, False))


if __name__ == "__main__":
    main()
