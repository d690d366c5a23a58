#!/usr/bin/env python3
"""Makes examples/sample.fb2, a small FB2 book in the shape of real ones, the
three PNG images inside it, and map.png, an image to add to it in the README's
example; all drawn here by code. The output is the same on every run, so
tests can compare extracted entries with these files.

usage: make_sample.py [OUTPUT_FOLDER]   (default: the folder of this script)
"""
import math
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import fb2book  # noqa: E402


def png(width, height, pixel):
    """A truecolour PNG; pixel(x, y) gives (r, g, b)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # no filter
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9))
            + chunk(b"IEND", b""))


def cover(x, y):
    # A dusk sky over dark hills, with a pale moon.
    w, h = 120, 160
    if (x - 84) ** 2 + (y - 40) ** 2 < 14 ** 2:
        return (240, 232, 200)
    hill = 110 + 12 * math.sin(x / 11.0) + 6 * math.sin(x / 4.0)
    if y > hill:
        return (30 + y // 16, 50 + y // 12, 40)
    t = y / h
    return (int(40 + 140 * t), int(30 + 60 * t), int(110 - 40 * t))


def chart(x, y):
    # Bars on a light grid.
    bars = [(10, 60), (30, 35), (50, 50), (70, 20), (90, 45)]
    for left, top in bars:
        if left <= x < left + 14 and y >= top:
            return (200 - left, 80 + left, 120)
    if x % 10 == 0 or y % 10 == 0:
        return (210, 210, 220)
    return (250, 250, 245)


def rings(x, y):
    # Concentric rings.
    d = math.hypot(x - 32, y - 32)
    v = int(127 + 127 * math.cos(d / 2.5))
    return (v, 255 - v, (v * 3) % 256)


def map_(x, y):
    # A river winding through fields, with a road across it.
    river = 36 + 10 * math.sin(x / 9.0)
    if abs(y - river) < 4:
        return (60, 110, 200)
    if abs(x - 60) < 2:
        return (120, 100, 80)
    return (110 + (x * 7 + y * 3) % 40, 170, 90)


IMAGES = [
    ("cover.png", lambda: png(120, 160, cover), 76),
    ("chart.png", lambda: png(110, 80, chart), 80),
    ("rings.png", lambda: png(64, 64, rings), 76),
]


def book(images):
    paragraphs = [
        "Вечер опускался на холмы медленно, как будто нехотя.",
        "Луна поднялась над лесом и осветила дорогу к старому дому.",
        "В доме горел свет: кто-то ждал путника уже много лет.",
    ]
    body = "\r\n".join(f"   <p>{p}</p>" for p in paragraphs)
    before = (
        " <description>\r\n"
        "  <title-info>\r\n"
        "   <genre>prose_contemporary</genre>\r\n"
        "   <author><first-name>Иван</first-name><last-name>Образцов</last-name></author>\r\n"
        "   <book-title>Образец книги</book-title>\r\n"
        '   <coverpage><image l:href="#cover.png"/></coverpage>\r\n'
        "   <lang>ru</lang>\r\n"
        "  </title-info>\r\n"
        "  <document-info>\r\n"
        "   <author><nickname>fb2pack</nickname></author>\r\n"
        "   <date value=\"2026-12-08\">8 December 2026</date>\r\n"
        "   <id>fb2pack-sample-1</id>\r\n"
        "   <version>1.0</version>\r\n"
        "  </document-info>\r\n"
        " </description>\r\n"
        " <body>\r\n"
        "  <title><p>Глава первая</p></title>\r\n"
        "  <section>\r\n"
        f"{body}\r\n"
        '   <image l:href="#chart.png"/>\r\n'
        '   <image l:href="#rings.png"/>\r\n'
        "  </section>\r\n"
        " </body>\r\n")
    return fb2book.book([fb2book.binary(name, data, "image/png", width) for name, data, width in images], before=before)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    images = [(name, make(), width) for name, make, width in IMAGES]
    os.makedirs(os.path.join(out, "images"), exist_ok=True)
    for name, data, _ in images:
        with open(os.path.join(out, "images", name), "wb") as f:
            f.write(data)
    with open(os.path.join(out, "sample.fb2"), "wb") as f:
        f.write(book(images))
    with open(os.path.join(out, "map.png"), "wb") as f:
        f.write(png(96, 72, map_))


if __name__ == "__main__":
    main()
