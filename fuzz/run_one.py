#!/usr/bin/env python3
"""Runs one fuzz target for a fixed time from its seeds and reports how many
inputs it ran; fails when the target found anything.

usage: run_one.py FUZZER TARGET SECONDS CORPUS_ROOT [JOBS]"""
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
# Longer inputs find nothing new in the codec and the handlers, only slow them.
MAX_LEN = {"base64": 4096, "handlers": 4096, "image": 8192}


def main():
    fuzzer, target, seconds, root = sys.argv[1:5]
    jobs = int(sys.argv[5]) if len(sys.argv) > 5 else 1
    corpus = os.path.join(root, target)
    seeds = os.path.join(root, target + "-seeds")
    subprocess.run([sys.executable, os.path.join(HERE, "make_seeds.py"), target, seeds], check=True)
    os.makedirs(corpus, exist_ok=True)
    artifacts = os.path.join(root, target + "-findings") + os.sep
    os.makedirs(artifacts, exist_ok=True)
    args = [fuzzer, corpus, seeds, f"-max_total_time={seconds}", "-print_final_stats=1",
            f"-artifact_prefix={artifacts}", f"-max_len={MAX_LEN.get(target, 65536)}", "-timeout=30", "-rss_limit_mb=4096"]
    if jobs > 1:
        args += [f"-jobs={jobs}", f"-workers={jobs}"]
    with tempfile.TemporaryFile(mode="w+") as log:
        rc = subprocess.run(args, stdout=log, stderr=subprocess.STDOUT, env=dict(
            os.environ, ASAN_OPTIONS="detect_leaks=1", UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1")).returncode
        log.seek(0)
        text = log.read()
    runs = sum(int(n) for n in re.findall(r"stat::number_of_executed_units:\s*(\d+)", text))
    print(f"{target}: {runs} executions in {seconds} s, exit {rc}")
    if rc != 0:
        print(text[-6000:])
    return rc


if __name__ == "__main__":
    sys.exit(main())
