#!/usr/bin/env python3
"""Runs every shell session the README shows (its `console` blocks) against
a build, each in a scratch folder holding a fresh copy of examples/, and
checks that each command prints what the README shows after it; then runs
the manual page's examples, in order, in one such folder: each must succeed."""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def sessions(text):
    """Each console block as a list of (command, expected output lines)."""
    for block in re.findall(r"^```console\n(.*?)^```", text, re.S | re.M):
        steps = []
        for line in block.splitlines():
            if line.startswith("$ "):
                steps.append((line[2:], []))
            elif steps:
                steps[-1][1].append(line)
            else:
                raise ValueError(f"output before any command: {line!r}")
        yield steps


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="folder holding fb2pack and its plug-in")
    args = ap.parse_args()
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        blocks = list(sessions(f.read()))
    if not blocks:
        sys.exit("README.md shows no console session")
    env = dict(os.environ, PATH=os.path.abspath(args.build) + os.pathsep + os.environ["PATH"], LC_ALL="C.UTF-8")
    failures = 0
    for number, steps in enumerate(blocks, 1):
        with tempfile.TemporaryDirectory(prefix="fb2pack-readme-") as scratch:
            shutil.copytree(os.path.join(ROOT, "examples"), os.path.join(scratch, "examples"))
            for command, expected in steps:
                done = subprocess.run(["bash", "-c", command], cwd=scratch, env=env, stdout=subprocess.PIPE,
                                      stderr=subprocess.STDOUT, text=True, timeout=120)
                got = done.stdout.splitlines()
                if got != expected:
                    failures += 1
                    print(f"session {number}: $ {command}\n  README shows: {expected}\n  it printed:   {got}")
    print(f"{sum(len(s) for s in blocks)} commands in {len(blocks)} sessions, {failures} differing")
    with open(os.path.join(ROOT, "docs", "fb2pack.1"), encoding="utf-8") as f:
        examples = re.search(r"^\.SH EXAMPLES\n.*?^\.nf\n(.*?)^\.fi", f.read(), re.S | re.M).group(1)
    with tempfile.TemporaryDirectory(prefix="fb2pack-man-") as scratch:
        shutil.copytree(os.path.join(ROOT, "examples"), os.path.join(scratch, "examples"))
        for command in examples.replace("\\-", "-").splitlines():
            done = subprocess.run(["bash", "-c", command], cwd=scratch, env=env, stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT, text=True, timeout=120)
            if done.returncode != 0:
                failures += 1
                print(f"manual page: $ {command}\n  exit {done.returncode}: {done.stdout}")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
