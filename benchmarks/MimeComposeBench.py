#!/usr/bin/python3
"""MimeComposeBench: the message writer beside Python's email, composing the same message (a short
text body and one attachment of 10 or 100 MiB), each in a process of its own so that its peak
resident size can be read.

  Velmora: bench_MimeComposeBench --compose DIR  (the message pulled line by line into a counting
           sink; the first run encodes the attachment, the second reads its ".att" file back)
  Python:  EmailMessage, set_content, add_attachment, as_bytes

Targets: the writer takes at most 0.2 of Python's time (first run and read-back), and its peak
resident size is the same, within 2 MiB, for 10 and 100 MiB attachments.

Usage: MimeComposeBench.py [BUILD_DIR]   (default build-bench; run by scripts/bench.sh)
With VELMORA_BENCH_RESULTS set to a folder, the figures are also written there as
MimeComposeBench.json (for the table of scripts/bench.sh).
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

PEER = r"""
import sys, time
from email.message import EmailMessage
path = sys.argv[1]
t0 = time.perf_counter()
with open(path, "rb") as f:
    data = f.read()
msg = EmailMessage()
msg["To"] = "Reader <reader@example.com>"
msg["From"] = "Your Name <your.name@example.com>"
msg["Subject"] = "Quarterly figures"
msg.set_content("Hello,\nthe figures are attached.\n")
msg.add_attachment(data, maintype="application", subtype="octet-stream", filename="big.bin")
raw = msg.as_bytes()
print("first %.6f" % (time.perf_counter() - t0))
print("bytes %d" % len(raw))
"""


def run(args):
    """Runs a child; returns its output lines as a dict and its peak RSS in KiB."""
    proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out = proc.stdout.read().decode()
    proc.stderr.read()
    _, status, usage = os.wait4(proc.pid, 0)
    if status != 0:
        sys.exit("failed: %s" % " ".join(args))
    values = dict(line.split(" ", 1) for line in out.strip().splitlines())
    return values, usage.ru_maxrss


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build-bench"
    tool = os.path.join(build, "benchmarks", "bench_MimeComposeBench")
    root = tempfile.mkdtemp(prefix="mime-compose-")
    try:
        os.makedirs(os.path.join(root, "data"))
        rss = {}
        figures = {}
        for mib in (10, 100):
            path = os.path.join(root, "data", "big.bin")
            with open(path, "wb") as f:
                for _ in range(mib):
                    f.write(os.urandom(1 << 20))
            ours, our_rss = run([tool, "--compose", root])
            python, py_rss = run(["/usr/bin/python3", "-c", PEER, path])
            rss[mib] = our_rss
            first, again, peer = float(ours["first"]), float(ours["again"]), float(python["first"])
            figures.update({"first_%d" % mib: first, "again_%d" % mib: again, "python_%d" % mib: peer,
                            "rss_%d" % mib: our_rss, "python_rss_%d" % mib: py_rss})
            print("%3d MiB  writer first %.3f s (%.2fx Python)  read-back %.3f s (%.2fx)  Python %.3f s"
                  % (mib, first, first / peer, again, again / peer, peer))
            print("         peak RSS writer %d KiB, Python %d KiB; message %s bytes (Python %s)"
                  % (our_rss, py_rss, ours["bytes"], python["bytes"]))
            shutil.rmtree(os.path.join(root, "chew"), ignore_errors=True)
        print("peak RSS growth from 10 to 100 MiB: %d KiB (target: within 2048)" % (rss[100] - rss[10]))
        folder = os.environ.get("VELMORA_BENCH_RESULTS")
        if folder:
            with open(os.path.join(folder, "MimeComposeBench.json"), "w") as f:
                json.dump(figures, f)
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
