#!/usr/bin/env python3
"""Makes synthetic books in the shape of real ones: an XML declaration, a root
tag with namespaces, a body of Cyrillic text, and <binary> elements of random
bytes whose base64 runs in lines of 76 or 80 characters.

Also two books of 100,000 small elements and the same size, for naming: one
that repeats a single id ("ids-repeated") and one whose ids all differ
("ids-distinct").

usage: make_books.py FOLDER [small|medium|large|ids-repeated|ids-distinct ...]
       (default: small, medium and large)"""
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import fb2book  # noqa: E402

SIZES = {  # name: (total bytes, entries)
    "small": (1 << 20, 8),
    "medium": (64 << 20, 64),
    "256mb": (256 << 20, 64),
    "large": (512 << 20, 64),
}

TEXT = ("Он шёл по улице, и снег ложился на плечи тихо, как будто боялся помешать. "
        "В окнах горел свет, и где-то далеко играла музыка. ")


def book(path, total, entries, seed):
    rng = random.Random(seed)
    body = "".join(f"   <p>{TEXT * 4}</p>\r\n" for _ in range(64))
    per_entry = max(1, (total - len(body.encode("utf-8"))) * 3 // 4 // entries)
    before = (" <description><title-info><book-title>Книга</book-title></title-info></description>\r\n"
              f" <body>\r\n{body} </body>\r\n")
    # Written an element at a time: the largest book is never held whole.
    elements = (fb2book.binary(f"img{i:03d}.jpg", rng.randbytes(per_entry), "image/jpeg", 76 if i % 2 else 80)
                for i in range(entries))
    with open(path, "wb") as f:
        for part in fb2book.parts(elements, before=before):
            f.write(part)


def ids_book(path, repeated, count=100_000):
    """Every id as long as every other, so both books have the same size."""
    elements = [fb2book.binary(f"i{0 if repeated else i:06d}.png", b"ABC", None) for i in range(count)]
    with open(path, "wb") as f:
        f.write(fb2book.book(elements, before="<body><p>x</p></body>\r\n", root=f' xmlns="{fb2book.FB2_NS}"'))


def many_entries(path, count):
    """A book of count small entries, as a comic or a scanned book may be."""
    rng = random.Random(5)
    elements = (fb2book.binary(f"p{i:05d}.png", rng.randbytes(300), "image/png", 0) for i in range(count))
    with open(path, "wb") as f:
        for part in fb2book.parts(elements, before="<body><p>x</p></body>\r\n", root=' xmlns="x"'):
            f.write(part)


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
