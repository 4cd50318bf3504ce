#!/usr/bin/env python3
"""Packs PNG pictures into one Windows icon file (.ico), each picture stored as PNG, as Windows takes them.

Usage: make_ico.py OUTPUT.ico INPUT.png...
"""
import struct
import sys


def png_size(data: bytes) -> tuple[int, int]:
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise ValueError("not a PNG picture")
    return struct.unpack(">II", data[16:24])


def main() -> int:
    if len(sys.argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    pictures = []
    for name in sys.argv[2:]:
        with open(name, "rb") as f:
            data = f.read()
        width, height = png_size(data)
        if width > 256 or height > 256:
            raise ValueError(f"{name}: an icon picture is at most 256 pixels wide and high")
        pictures.append((width, height, data))
    pictures.sort(key=lambda p: p[0])
    # ICONDIR, then one ICONDIRENTRY per picture, then the pictures; 256 is written as 0.
    out = bytearray(struct.pack("<HHH", 0, 1, len(pictures)))
    offset = 6 + 16 * len(pictures)
    for width, height, data in pictures:
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, _, data in pictures:
        out += data
    with open(sys.argv[1], "wb") as f:
        f.write(out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
