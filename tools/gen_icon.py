#!/usr/bin/env python3
"""The program's desktop icon, cut from the panel as vorlak-snapshot draws it: the body's
sunburst with the pickup over the strings, a square box-filtered down to each icon size.

    gen_icon.py SNAPSHOT OUTPUT_DIR SIZE...

SNAPSHOT is vorlak-snapshot; OUTPUT_DIR/<SIZE>/vorlak.png is written for each size.
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

SCALE = 2  # drawn at twice the size, so that the smaller icons are filtered from detail
WIDTH, HEIGHT = 396 * SCALE, 530 * SCALE
# The square of the panel (logical pixels) the icon shows: the strings under the pickup.
LEFT, TOP, SIDE = 150, 62, 236


def panel_pixels(snapshot):
    with tempfile.TemporaryDirectory() as folder:
        raw = os.path.join(folder, "panel.raw")
        subprocess.run([snapshot, "--scale", str(SCALE), "--raw", "-o", raw], check=True)
        data = open(raw, "rb").read()
    return struct.unpack("<%dI" % (WIDTH * HEIGHT), data)


def box_filter(pixels, size):
    side = SIDE * SCALE
    rows = []
    for y in range(size):
        y0, y1 = side * y // size, side * (y + 1) // size
        row = bytearray()
        for x in range(size):
            x0, x1 = side * x // size, side * (x + 1) // size
            total = [0, 0, 0]
            for sy in range(y0, y1):
                base = (TOP * SCALE + sy) * WIDTH + LEFT * SCALE
                for sx in range(x0, x1):
                    p = pixels[base + sx]
                    total[0] += (p >> 16) & 255
                    total[1] += (p >> 8) & 255
                    total[2] += p & 255
            count = (y1 - y0) * (x1 - x0)
            row += bytes((t + count // 2) // count for t in total)
        rows.append(bytes(row))
    return rows


def png(rows, size):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)  # 8-bit RGB
    image = zlib.compress(b"".join(b"\0" + row for row in rows), 9)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", image) +
            chunk(b"IEND", b""))


def main():
    snapshot, output = sys.argv[1], sys.argv[2]
    pixels = panel_pixels(snapshot)
    for size in map(int, sys.argv[3:]):
        folder = os.path.join(output, str(size))
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "vorlak.png"), "wb") as f:
            f.write(png(box_filter(pixels, size), size))


if __name__ == "__main__":
    main()
