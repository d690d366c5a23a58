#!/usr/bin/env python3
"""What a user would otherwise script with the standard library: list the
images of a book and extract them all.

usage: py_extract.py BOOK OUTPUT_FOLDER"""
import base64
import os
import sys
import xml.etree.ElementTree as ET


def main():
    book, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    for element in ET.parse(book).getroot():
        if element.tag.endswith("}binary") or element.tag == "binary":
            name = element.get("id")
            print(name)
            with open(os.path.join(out, os.path.basename(name)), "wb") as f:
                f.write(base64.b64decode(element.text or ""))


if __name__ == "__main__":
    main()
