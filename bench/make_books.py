#!/usr/bin/env python3
"""Makes synthetic books in the shape of real ones: an XML declaration, a root
tag with namespaces, a body of Cyrillic text, and <binary> elements of random
bytes whose base64 runs in lines of 76 or 80 characters.

Also two books of 100,000 small elements and the same size, for naming: one
that repeats a single id ("ids-repeated") and one whose ids all differ
("ids-distinct").

usage: make_books.py FOLDER [small|medium|large|ids-repeated|ids-distinct ...]
       (default: small, medium and large)"""
import base64
import os
import random
import sys

SIZES = {  # name: (total bytes, entries)
    "small": (1 << 20, 8),
    "medium": (64 << 20, 64),
    "large": (512 << 20, 64),
}

TEXT = ("Он шёл по улице, и снег ложился на плечи тихо, как будто боялся помешать. "
        "В окнах горел свет, и где-то далеко играла музыка. ")


def book(path, total, entries, seed):
    rng = random.Random(seed)
    body = "".join(f"   <p>{TEXT * 4}</p>\r\n" for _ in range(64)).encode("utf-8")
    per_entry = max(1, (total - len(body)) * 3 // 4 // entries)
    with open(path, "wb") as f:
        f.write(b'<?xml version="1.0" encoding="utf-8"?>\r\n'
                b'<FictionBook xmlns="http://www.gribuser.ru/xml/fictionbook/2.0" '
                b'xmlns:l="http://www.w3.org/1999/xlink">\r\n'
                b" <description><title-info><book-title>\xd0\x9a\xd0\xbd\xd0\xb8\xd0\xb3\xd0\xb0"
                b"</book-title></title-info></description>\r\n <body>\r\n")
        f.write(body)
        f.write(b" </body>\r\n")
        for i in range(entries):
            data = rng.randbytes(per_entry)
            text = base64.b64encode(data)
            width = 76 if i % 2 else 80
            lines = b"\r\n".join(text[k:k + width] for k in range(0, len(text), width))
            f.write(f'<binary id="img{i:03d}.jpg" content-type="image/jpeg">'.encode() + lines + b"</binary>\r\n")
        f.write(b"</FictionBook>\r\n")


def ids_book(path, repeated, count=100_000):
    """Every id as long as every other, so both books have the same size."""
    with open(path, "wb") as f:
        f.write(b'<?xml version="1.0" encoding="utf-8"?>\r\n<FictionBook '
                b'xmlns="http://www.gribuser.ru/xml/fictionbook/2.0">\r\n<body><p>x</p></body>\r\n')
        for i in range(count):
            f.write(f'<binary id="i{0 if repeated else i:06d}.png">QUJD</binary>\r\n'.encode())
        f.write(b"</FictionBook>\r\n")


def main():
    folder = sys.argv[1]
    names = sys.argv[2:] or list(SIZES)
    os.makedirs(folder, exist_ok=True)
    for n, name in enumerate(names):
        path = os.path.join(folder, f"{name}.fb2")
        if not os.path.exists(path):
            if name.startswith("ids-"):
                ids_book(path, name == "ids-repeated")
            else:
                book(path, *SIZES[name], n + 1)
        print(path)


if __name__ == "__main__":
    main()
