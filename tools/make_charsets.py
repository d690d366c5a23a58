#!/usr/bin/env python3
"""Writes textutil/CharsetTables.inc: the upper halves (0x80-0xFF) of the 8-bit
encodings books declare, as Unicode code points (0 where a byte means nothing),
from Python's own codecs. Run it again only to add an encoding."""
import os

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CODECS = [("kWindows1250", "cp1250"), ("kWindows1251", "cp1251"), ("kWindows1252", "cp1252"),
          ("kKoi8R", "koi8_r"), ("kIso8859_5", "iso8859_5")]

with open(os.path.join(ROOT, "textutil", "CharsetTables.inc"), "w") as out:
    out.write("// Made by tools/make_charsets.py: bytes 0x80-0xFF as code points, 0 for none.\n")
    for name, codec in CODECS:
        points = []
        for b in range(0x80, 0x100):
            try:
                points.append(ord(bytes([b]).decode(codec)))
            except UnicodeDecodeError:
                points.append(0)
        out.write(f"constexpr char16_t {name}[128] = {{\n")
        for i in range(0, 128, 8):
            out.write("    " + ", ".join(f"0x{p:04X}" for p in points[i:i + 8]) + ",\n")
        out.write("};\n")
