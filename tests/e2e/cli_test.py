#!/usr/bin/env python3
"""End-to-end scenarios through the command-line host, for any build:
native, or a Windows build under Wine."""
import argparse
import sys
import unittest

ARGS = None

if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--runner", default="")
    ap.add_argument("--exe-suffix", default="")
    ap.add_argument("--plugin", required=True)
    ARGS, rest = ap.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=1)
