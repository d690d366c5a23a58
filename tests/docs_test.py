#!/usr/bin/env python3
"""Every test that the documents cite by name exists: GoogleTest tests as
`Suite.Name` (or `Suite.*`), the command-line scenarios as
`cli_test Class.test_name` (or `Class.*`), and fuzz targets as `fuzz_name`.
A renamed or removed test shows here, not as a stale citation."""
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DOCS = ["README.md", "CONTRIBUTING.md", "CHANGELOG.md"] + glob.glob(os.path.join(ROOT, "docs", "*.md"))


def read(*parts):
    with open(os.path.join(ROOT, *parts), encoding="utf-8") as f:
        return f.read()


def main():
    gtest = set()
    for path in glob.glob(os.path.join(ROOT, "tests", "**", "*.cpp"), recursive=True):
        with open(path, encoding="utf-8") as f:
            gtest.update(re.findall(r"^TEST(?:_F|_P)?\((\w+), (\w+)\)", f.read(), re.M))
    suites = {suite for suite, _ in gtest}
    cli = read("tests", "e2e", "cli_test.py")
    classes = {}
    for match in re.finditer(r"^class (\w+)\(.*?(?=^class |\Z)", cli, re.M | re.S):
        classes[match.group(1)] = set(re.findall(r"^    def (test_\w+)", match.group(0), re.M))
    fuzz = set(re.search(r"foreach\(target ([\w ]+)\)", read("fuzz", "CMakeLists.txt")).group(1).split())

    missing = []
    for doc in DOCS:
        text = read(doc)
        name = os.path.relpath(os.path.join(ROOT, doc), ROOT)
        for cls, test in re.findall(r"`cli_test (\w+)(?:\.(\w+|\*))?`", text):
            if cls not in classes or (test not in ("", "*") and test not in classes[cls]):
                missing.append(f"{name}: cli_test {cls}.{test}")
        for cited in re.findall(r"`([^`]+)`", text):
            if cited.startswith("cli_test "):
                continue
            for suite, test in re.findall(r"(?:^|, )([A-Z]\w*)\.([A-Z]\w*|\*)(?=,|$)", cited):
                if (test == "*" and suite not in suites) or (test != "*" and (suite, test) not in gtest):
                    missing.append(f"{name}: {suite}.{test}")
            for target in re.findall(r"\bfuzz_(\w+)\b", cited):
                if target not in fuzz:
                    missing.append(f"{name}: fuzz_{target}")
    for m in missing:
        print(f"cited but no such test: {m}", file=sys.stderr)
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
