"""What bench/run and bench/rewrites share: building the host, running
commands, peak memory, targets met or missed, and the stamp of a result."""
import datetime
import os
import re
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def sh(cmd, **kw):
    return subprocess.run(cmd, check=True, **kw)


def build():
    """Builds the linux preset's host and plug-in; gives the host's path."""
    sh([os.path.join(ROOT, "tools", "deps.sh"), "--bench"])
    sh(["cmake", "--preset", "linux"], cwd=ROOT, stdout=subprocess.DEVNULL)
    sh(["cmake", "--build", "--preset", "linux", "--target", "fb2pack", "fb2pack_plugin"], cwd=ROOT,
       stdout=subprocess.DEVNULL)
    return os.path.join(ROOT, "build", "linux", "fb2pack")


def peak_rss_kib(cmd, prepare=None):
    """The peak resident memory of cmd, after the shell command prepare."""
    if prepare:
        sh(prepare, shell=True)
    proc = subprocess.run(["/usr/bin/time", "-v"] + cmd, capture_output=True, text=True)
    if proc.returncode != 0:
        raise RuntimeError(f"{cmd}: {proc.stderr[-2000:]}")
    return int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", proc.stderr).group(1))


class Targets:
    """The rows of a result's table of targets."""

    def __init__(self):
        self.rows = []

    def __call__(self, name, ok, detail):
        self.rows.append(f"| {name} | {'met' if ok else 'MISSED'} | {detail} |")


def stamp():
    """Today's date and the short commit the results come from."""
    commit = subprocess.run(["git", "rev-parse", "--short", "HEAD"], cwd=ROOT, capture_output=True,
                            text=True).stdout.strip()
    return datetime.date.today().isoformat(), commit
