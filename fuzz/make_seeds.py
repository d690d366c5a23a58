#!/usr/bin/env python3
"""Writes the seed corpus of one fuzz target: the sample book and small books
from our generator, cut to what each target reads.

usage: make_seeds.py TARGET FOLDER"""
import base64
import os
import random
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def small_books(rng):
    books = []
    for n in range(6):
        parts = ['<?xml version="1.0" encoding="utf-8"?>\r\n<FictionBook xmlns="x">\r\n<body><p>Текст</p></body>\r\n']
        for i in range(n):
            data = rng.randbytes(rng.randrange(0, 200))
            text = base64.b64encode(data).decode()
            text = "\r\n".join(text[k:k + 76] for k in range(0, len(text), 76))
            quote = '"' if i % 2 else "'"
            parts.append(f"<binary id={quote}img{i}.png{quote} content-type=\"image/png\">{text}</binary>\r\n")
        parts.append("</FictionBook>\r\n")
        books.append("".join(parts).encode("utf-8"))
    # Title pages with a cover page, and without one, for the cover edit.
    for cover in ('<coverpage><image xlink:href="#c.png"/></coverpage>', ""):
        books.append(('<?xml version="1.0"?><FictionBook xmlns:xlink="http://www.w3.org/1999/xlink"><description>'
                      f'<title-info>\n <genre>sf</genre>\n <book-title>T</book-title>{cover}\n <lang>ru</lang>'
                      '\n</title-info></description><binary id="c.png">QUJD</binary><binary id="d.png">QQ==</binary>'
                      '</FictionBook>').encode())
    books.append(b'<FictionBook><binary id="a"/><binary content-type="x">QQ==</binary><binary id="../b">Yg==<binary<binary id="c">')
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
