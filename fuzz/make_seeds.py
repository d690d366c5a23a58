#!/usr/bin/env python3
"""Writes the seed corpus of one fuzz target: the sample book and small books
from our generator, cut to what each target reads.

usage: make_seeds.py TARGET FOLDER"""
import base64
import os
import random
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import fb2book  # noqa: E402


def small_books(rng):
    books = []
    for n in range(6):
        elements = [fb2book.binary(f"img{i}.png", rng.randbytes(rng.randrange(0, 200)), "image/png",
                                   quote='"' if i % 2 else "'") for i in range(n)]
        books.append(fb2book.book(elements, before="<body><p>Текст</p></body>\r\n", root=' xmlns="x"'))
    # Title pages with a cover page, and without one, for the cover edit.
    for cover in ('<coverpage><image xlink:href="#c.png"/></coverpage>', ""):
        before = ('<description><title-info>\n <genre>sf</genre>\n <book-title>T</book-title>'
                  f'{cover}\n <lang>ru</lang>\n</title-info></description>')
        books.append(fb2book.book([fb2book.binary("c.png", b"ABC", None), fb2book.binary("d.png", b"A", None)],
                                  before=before, encoding=None, root=f' xmlns:xlink="{fb2book.XLINK_NS}"', eol=""))
    books.append(b'<FictionBook><binary id="a"/><binary content-type="x">QQ==</binary><binary id="../b">Yg=='
                 b'<binary<binary id="c">')
    return books


def main():
    target, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(1)
    with open(os.path.join(ROOT, "examples", "sample.fb2"), "rb") as f:
        sample = f.read()
    if target == "base64":
        seeds = [b"", b"TWFu", b"=AAA", b"A=AA", b"TQ==\r\nTWFu", rng.randbytes(200)]
        seeds += [base64.b64encode(rng.randbytes(90))]
        # Lines of one length, and of two that alternate (as the plug-in writes them).
        symbols = base64.b64encode(rng.randbytes(1500))
        for lengths, eol in (((76,), b"\r\n"), ((64,), b"\n"), ((80, 76), b"\r\n")):
            lines, at = [], 0
            while at < len(symbols):
                n = lengths[len(lines) % len(lengths)]
                lines.append(symbols[at:at + n])
                at += n
            seeds.append(eol.join(lines))
    elif target == "image":
        # A mode byte (0: any bytes, cut into pieces; 1 to 3: images built
        # by their formats' rules) before what each reads.
        seeds = [b"\x00\x07" + fb2book.png(), b"\x00\x03" + fb2book.jpeg_frame(300), b"\x01" + rng.randbytes(300),
                 b"\x02" + rng.randbytes(300), b"\x03" + rng.randbytes(300)]
    elif target == "handlers":
        seeds = [b"\x07<binary" + b'x<binary id="a.png" content-type=\'image/png\'>',
                 b"\x02ab" + b"ababab", b"\x00<!-- > -->", b"\x03aab" + b"aaab<BR/>"]
    else:
        seeds = [sample] + small_books(rng)
    for i, seed in enumerate(seeds):
        with open(os.path.join(folder, f"seed-{i}"), "wb") as f:
            f.write(seed)


if __name__ == "__main__":
    main()
