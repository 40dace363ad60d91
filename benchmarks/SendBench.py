#!/usr/bin/python3
"""SendBench: one message with a large attachment sent to a local sink, three ways side by side:
velmora-host composing and sending it (the attachment given as a path), curl uploading the same
message prebuilt (the very bytes velmora-host sends, caught once from a send of its own to a local
aiosmtpd: its Base64 lines of 60 characters, ended by CR LF), and Python's email + smtplib
composing and sending its own (lines of 76 characters). Each is timed as a
whole process: median wall time, CPU time (user + system) and peak resident set size (wait4,
through GNU time) over several runs, at 10 MiB and 100 MiB.

Usage: SendBench.py BUILD_DIR   (scripts/bench.sh passes build-bench)
The sink is postfix's smtp-sink (benchmarks/postfix-sink.sh, which fetches it once into
BUILD_DIR/cache); when that cannot be had, the aiosmtpd server of tools/peer/smtp_server.py.
Everything listens on 127.0.0.1 only; files go to a temporary folder that is removed at the end.
Targets: velmora's wall time at most 1.0x curl's and 0.2x Python's; its CPU time at most 2x
curl's; its peak RSS at most 2x curl's at both sizes; its 100 MiB wall time at most 11x its
10 MiB time. With VELMORA_BENCH_RESULTS set to a folder, the figures are also written there as
SendBench.json (for the table of scripts/bench.sh).
"""
import json
import os
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# MiB, runs of velmora-host and curl (taken in turns, so that a change in the machine's state
# meanwhile falls on both alike), runs of Python. The sink's own time for one 100 MiB message
# varies by several percent from run to run, for either client: fifteen runs keep the median
# steady.
SIZES = [(10, 21, 3), (100, 15, 2)]
FROM = "bench@example.test"
TO = "sink@example.test"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(port, proc):
    for _ in range(200):
        if proc.poll() is not None:
            return False
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


def start_sink(cache):
    """The sink process, its port and its name."""
    script = os.path.join(ROOT, "benchmarks", "postfix-sink.sh")
    if subprocess.run([script, cache], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
        port = free_port()
        proc = subprocess.Popen([script, cache, "-c", "127.0.0.1:%d" % port, "64"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if wait_for(port, proc):
            return proc, port, "postfix smtp-sink"
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    proc = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tools", "peer", "smtp_server.py"),
                             '{"size_limit": 0}', "3600"], stdout=subprocess.PIPE, text=True)
    return proc, int(proc.stdout.readline()), "aiosmtpd (smtp-sink not available)"


def capture(host, bundle, env, path, sink_port, work):
    """The message velmora-host sends for the attachment, as it arrives: one send to an aiosmtpd
    that saves it, the port set there for that send and back to the sink's after it."""
    folder = os.path.join(work, "caught")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tools", "peer", "smtp_server.py"),
                               json.dumps({"save": folder, "size_limit": 0}), "600"],
                              stdout=subprocess.PIPE, text=True)
    try:
        port = int(server.stdout.readline())
        subprocess.run([host, "--bundle", bundle,
                        'Velmora_Configure( "Set" ; "Port" ; "%d" )' % port,
                        'Velmora_SendMessage( "%s" ; "Bench" ; "body" ; "%s" )' % (TO, path),
                        'Velmora_Configure( "Set" ; "Port" ; "%d" )' % sink_port],
                       env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
    finally:
        server.terminate()
        server.wait(timeout=30)
    caught = os.path.join(folder, "1.eml")
    if not os.path.exists(caught):
        raise RuntimeError("velmora-host's message was not caught")
    return caught


def measure(argv, env, work):
    """Wall seconds, peak RSS in KiB and CPU seconds of one run; fails when the program fails.
    The program runs under GNU time, whose own small size is the floor of the peak: a child
    forked by this interpreter would report the interpreter's resident size as its own."""
    report = os.path.join(work, "rusage")
    start = time.monotonic()
    proc = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", report] + argv, env=env,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    out = proc.stdout.read()
    # The CPU time, to the microsecond, of GNU time and the program it waited for.
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - start
    code = os.waitstatus_to_exitcode(status)
    if code != 0 or b"ERROR" in out:
        raise RuntimeError("%s failed (%d): %s" % (os.path.basename(argv[0]), code,
                                                   out[:300].decode("utf-8", "replace")))
    with open(report) as f:
        rss = f.read().split()[-1]
    return wall, int(rss), usage.ru_utime + usage.ru_stime


PYTHON_SENDER = r"""
import smtplib, sys
from email.message import EmailMessage
port, path = int(sys.argv[1]), sys.argv[2]
message = EmailMessage()
message["From"], message["To"], message["Subject"] = "%s", "%s", "Bench"
message.set_content("body")
with open(path, "rb") as f:
    message.add_attachment(f.read(), maintype="application", subtype="octet-stream", filename="attachment.bin")
with smtplib.SMTP("127.0.0.1", port) as smtp:
    smtp.send_message(message)
""" % (FROM, TO)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build-bench")
    host = os.path.join(build, "host", "velmora-host")
    bundle = os.path.join(build, "Velmora.bundle")
    work = tempfile.mkdtemp(prefix="velmora-sendbench-")
    sink = None
    try:
        sink, port, sink_name = start_sink(os.path.join(build, "cache"))
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"), TMPDIR=os.path.join(work, "tmp"),
                   VELMORA_NO_BROWSER="1")
        for folder in ("config", "tmp"):
            os.makedirs(os.path.join(work, folder))
        subprocess.run([host, "--bundle", bundle] +
                       ['Velmora_Configure( "Set" ; "%s" ; "%s" )' % pair
                        for pair in (("Host", "127.0.0.1"), ("Port", str(port)), ("From", FROM))],
                       env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        print("sink: %s on 127.0.0.1:%d" % (sink_name, port))
        results = {}
        for mib, runs, python_runs in SIZES:
            path = os.path.join(work, "attachment.bin")
            with open(path, "wb") as f:
                for _ in range(mib):
                    f.write(os.urandom(1 << 20))
            prebuilt = capture(host, bundle, env, path, port, work)
            python_script = os.path.join(work, "send.py")
            with open(python_script, "w") as f:
                f.write(PYTHON_SENDER)
            ways = {
                "velmora": [host, "--bundle", bundle,
                            'Velmora_SendMessage( "%s" ; "Bench" ; "body" ; "%s" )' % (TO, path)],
                "curl": ["curl", "-s", "--url", "smtp://127.0.0.1:%d" % port, "--mail-from", FROM,
                         "--mail-rcpt", TO, "--upload-file", prebuilt],
                "python": ["/usr/bin/python3", python_script, str(port), path],
            }
            samples = {name: [] for name in ways}
            failed = {}
            for turn in range(max(runs, python_runs)):
                for name, argv in ways.items():
                    if name in failed or turn >= (python_runs if name == "python" else runs):
                        continue
                    try:
                        samples[name].append(measure(argv, env, work))
                    except RuntimeError as problem:
                        failed[name] = problem
            for name in ways:
                if name in failed:
                    print("%4d MiB  %-8s not measured: %s" % (mib, name, failed[name]))
                    continue
                results[(name, mib)] = tuple(statistics.median(s[k] for s in samples[name]) for k in range(3))
                wall, rss, cpu = results[(name, mib)]
                print("%4d MiB  %-8s wall %7.3f s   cpu %7.3f s   peak RSS %8d KiB" % (mib, name, wall, cpu, rss),
                      flush=True)
            os.remove(path)
            shutil.rmtree(os.path.dirname(prebuilt), ignore_errors=True)

        verdicts = []
        for mib, _, _ in SIZES:
            v, c, p = (results.get((name, mib)) for name in ("velmora", "curl", "python"))
            verdicts.append(("%d MiB wall <= 1.0x curl" % mib, v and c and v[0] / c[0], 1.0))
            verdicts.append(("%d MiB wall <= 0.2x python" % mib, v and p and v[0] / p[0], 0.2))
            verdicts.append(("%d MiB CPU <= 2x curl" % mib, v and c and v[2] / c[2], 2.0))
            verdicts.append(("%d MiB RSS <= 2x curl" % mib, v and c and v[1] / c[1], 2.0))
        ten, hundred = results.get(("velmora", 10)), results.get(("velmora", 100))
        verdicts.append(("100 MiB wall <= 11x 10 MiB wall", ten and hundred and hundred[0] / ten[0], 11.0))
        for label, ratio, limit in verdicts:
            if ratio is None:
                print("%-34s    not measured" % label)
            else:
                print("%-34s %6.2f  %s" % (label, ratio, "met" if ratio <= limit else "MISSED"))
        folder = os.environ.get("VELMORA_BENCH_RESULTS")
        if folder:
            figures = {}
            for (name, mib), (wall, rss, cpu) in results.items():
                figures.update({"%s_wall_%d" % (name, mib): wall, "%s_rss_%d" % (name, mib): rss,
                                "%s_cpu_%d" % (name, mib): cpu})
            with open(os.path.join(folder, "SendBench.json"), "w") as f:
                json.dump(figures, f)
    finally:
        if sink:
            sink.send_signal(signal.SIGTERM)
            try:
                sink.wait(timeout=10)
            except subprocess.TimeoutExpired:
                sink.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
