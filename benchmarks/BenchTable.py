#!/usr/bin/python3
"""BenchTable: the one table scripts/bench.sh prints at the end of a run. Every benchmark of the
run, its figure, the figure of its peer from the same run, their ratio, the target and whether it
is met.

Usage: BenchTable.py RESULTS_DIR
RESULTS_DIR holds what the run left: bench_NAME.json from each Google Benchmark program
(--benchmark_out) and NAME.json from each script benchmark (a flat object of figures). A program
run with repetitions gives each benchmark the least of its repetitions (the largest growth).
A benchmark that did not run (skipped, failed, no sink) shows "not measured".

Times are CPU times for work inside one process and wall times where another process or the
network takes part (the sends, the scripts); speeds are compared as times, so a ratio below 1
means ours is the faster. Targets are the ones set when each benchmark was written.
"""
import json
import os
import sys


def merged(entries):
    """One benchmark's repetitions as one entry: the least of each figure, as another load on the
    machine only ever adds to a time (and ours and the peer's are taken alike), but the largest of
    a growth (memory grows in a process's first repetition only, so later ones would hide it)."""
    result = dict(entries[0])
    for key, value in entries[0].items():
        if isinstance(value, bool) or not isinstance(value, (int, float)):
            continue
        values = [e[key] for e in entries if isinstance(e.get(key), (int, float))]
        result[key] = max(values) if "growth" in key else min(values)
    return result


def load(folder):
    """Google Benchmark results by program and run name, and the scripts' figures by script."""
    runs, scripts = {}, {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        try:
            with open(path) as f:
                data = json.load(f)
        except (OSError, ValueError):
            continue
        stem = name[:-5]
        if stem.startswith("bench_"):
            repetitions = {}
            for b in data.get("benchmarks", []):
                if b.get("error_occurred") or b.get("run_type", "iteration") != "iteration":
                    continue
                repetitions.setdefault(b["run_name"] if "run_name" in b else b["name"], []).append(b)
            runs[stem[len("bench_"):]] = {name: merged(entries) for name, entries in repetitions.items()}
        else:
            scripts[stem] = data
    return runs, scripts


UNITS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


class Table:
    def __init__(self, runs, scripts):
        self.runs, self.scripts, self.rows = runs, scripts, []

    def bench(self, program, name):
        return self.runs.get(program, {}).get(name)

    def seconds(self, program, name, kind):
        b = self.bench(program, name)
        if b is None:
            return None
        return b[kind] * UNITS[b.get("time_unit", "ns")]

    def counter(self, program, name, counter):
        b = self.bench(program, name)
        return None if b is None or counter not in b else float(b[counter])

    def script(self, script, key):
        return self.scripts.get(script, {}).get(key)

    def add(self, label, ours, peer, limit, unit, peer_name, how="ratio"):
        """how: "ratio" (ours / peer <= limit), "diff" (ours - peer <= limit), "none" (no target)."""
        self.rows.append((label, ours, peer, limit, unit, peer_name, how))

    def time_pair(self, program, label, ours, peer, peer_name, limit, kind="cpu_time"):
        unit = "s cpu" if kind == "cpu_time" else "s wall"
        self.add(label, self.seconds(program, ours, kind), self.seconds(program, peer, kind), limit, unit,
                 peer_name)

    def render(self):
        def figure(value, unit):
            if value is None:
                return "-"
            if unit.startswith("s"):
                rest = unit[1:]
                for scale, name in ((1.0, "s"), (1e-3, "ms"), (1e-6, "us"), (1e-9, "ns")):
                    if abs(value) >= scale or scale == 1e-9:
                        shown = "%.3g" % (value / scale)
                        if "e" in shown:
                            shown = "%.0f" % (value / scale)
                        return "%s %s%s" % (shown, name, rest)
            if unit == "KiB":
                return "%d KiB" % round(value)
            if unit == "B":
                return "%d B" % round(value)
            return "%.3g %s" % (value, unit)

        header = ("benchmark", "ours", "peer", "peer's", "ratio", "target", "verdict")
        lines = []
        for label, ours, peer, limit, unit, peer_name, how in self.rows:
            if ours is None or (how != "none" and peer is None):
                lines.append((label, figure(ours, unit), peer_name, figure(peer, unit), "-",
                              target_text(how, limit, unit), "not measured"))
                continue
            if how == "none":
                lines.append((label, figure(ours, unit), peer_name or "-", figure(peer, unit), "-", "-", "-"))
                continue
            if how == "diff":
                value = ours - peer
                shown = "%+d %s" % (round(value), unit)
            else:
                value = ours / peer if peer else float("inf")
                shown = "%.3fx" % value
            met = value <= limit
            lines.append((label, figure(ours, unit), peer_name, figure(peer, unit), shown,
                          target_text(how, limit, unit), "met" if met else "MISSED"))
        widths = [max(len(str(row[i])) for row in [header] + lines) for i in range(len(header))]
        out = []
        for row in [header, tuple("-" * w for w in widths)] + lines:
            out.append("  ".join(str(cell).ljust(widths[i]) for i, cell in enumerate(row)).rstrip())
        return "\n".join(out)


def target_text(how, limit, unit):
    if how == "diff":
        return "<= %+g %s" % (limit, unit)
    if how == "none":
        return "-"
    return "<= %gx" % limit


def build(runs, scripts):
    t = Table(runs, scripts)
    # Base64 (core): our encoder beside OpenSSL's.
    for size, arg in (("1 MiB", 1 << 20), ("16 MiB", 16 << 20)):
        t.time_pair("Base64Bench", "Base64 UUEncode %s" % size, "BM_UUEncode/%d" % arg,
                    "BM_OpenSSL_EVP_EncodeBlock/%d" % arg, "EVP_EncodeBlock", 1.0)
    # Text conversions: UniString beside iconv, both directions.
    for label, name in (("UTF-8", "UTF8"), ("code page 2", "CodePage2"), ("code page 3", "CodePage3"),
                        ("code page 4 (Windows-1252)", "Windows1252"), ("code page 5 (Shift_JIS)", "ShiftJIS")):
        for direction in ("Decode", "Encode"):
            t.time_pair("UniStringBench", "UniString %s %s" % (label, direction.lower()),
                        "BM_%s%s_UniString" % (name, direction), "BM_%s%s_Iconv" % (name, direction), "iconv", 1.0)
    # Line reading and writing through the file stream, 64 MiB.
    t.time_pair("XFileStreamBench", "ReadLine 8-bit, 64 MiB", "BM_ReadLineAnsi/iterations:3",
                "BM_StdGetline/iterations:3", "std::getline", 1.5)
    t.time_pair("XFileStreamBench", "ReadLine UTF-8, 64 MiB", "BM_ReadLineUTF8/iterations:3",
                "BM_StdGetline/iterations:3", "std::getline", 2.0)
    t.time_pair("XFileStreamBench", "WriteBytes, 64 MiB", "BM_WriteBytes/iterations:3",
                "BM_Fwrite/iterations:3", "fwrite", 1.5)
    # Container export and import.
    t.time_pair("FileFuncsBench", "File export 64 MiB", "BM_DoFileExport/64", "BM_FwriteChunks/64",
                "fwrite 4 KiB chunks", 2.0)
    t.time_pair("FileFuncsBench", "File import 64 MiB", "BM_DoFileImport", "BM_FreadWhole", "one fread", 2.0)
    # The export's heap growth must not grow with the stream: 64 times the data, within 1 KiB.
    t.add("File export heap growth, 64 MiB beside 1 MiB",
          t.counter("FileFuncsBench", "BM_DoFileExport/64", "heap_growth_bytes"),
          t.counter("FileFuncsBench", "BM_DoFileExport/1", "heap_growth_bytes"), 1024, "B", "the 1 MiB export",
          "diff")
    # The protocol worker.
    for size in (1460, 65536):
        t.time_pair("GenProtBench", "SendLine, 14 MB through a %d-byte buffer" % size,
                    "BM_SendLineThroughBuffer/%d/real_time" % size, "BM_RawSendInWrites/%d/real_time" % size,
                    "send() in %d-byte writes" % size, 1.5, "real_time")
    t.add("Idle worker thread, CPU per second",
          t.counter("GenProtBench", "BM_IdleWorkerThread/iterations:2/real_time", "cpu_per_s"),
          t.counter("GenProtBench", "BM_BarePollLoop/iterations:2/real_time", "cpu_per_s"), 2.0, "s/s",
          "a bare 10 ms poll() loop")
    # Attachment parts.
    for mib in (10, 100):
        t.time_pair("MimeAttachmentBench", "Attachment encode %d MiB" % mib, "BM_PartEncode/%d/process_time" % mib,
                    "BM_PlainEncode/%d/process_time" % mib, "read + EVP_EncodeBlock + write", 1.5)
        t.time_pair("MimeAttachmentBench", "Attachment read-back %d MiB" % mib, "BM_PartReadBack/%d" % mib,
                    "BM_PlainReadBack/%d" % mib, "fgets", 1.5)
        t.add("Attachment encode %d MiB, peak RSS growth" % mib,
              t.counter("MimeAttachmentBench", "BM_PartEncode/%d/process_time" % mib, "rss_growth_kib"),
              t.counter("MimeAttachmentBench", "BM_PlainEncode/%d/process_time" % mib, "rss_growth_kib"), 2048, "KiB",
              "the plain loop's", "diff")
    # Body charsets: our UTF-8, the host's code pages, each beside iconv on the same lines.
    # The host's conversion alone (the SDK stand-in's fmx::Text::GetBytes) must keep iconv's pace;
    # the body's line conversion (with its per-line work) and QP encoding are held to 2x and 3x.
    for which, name in enumerate(("ISO-8859-1", "WINDOWS-1251"), start=1):
        t.time_pair("MimeCharSetBench", "Host text GetBytes %s" % name, "BM_HostGetBytes/%d" % which,
                    "BM_Iconv/%d" % which, "iconv", 1.0)
    for which, name in enumerate(("UTF-8", "ISO-8859-1", "WINDOWS-1251")):
        t.time_pair("MimeCharSetBench", "Body charset %s: convert" % name, "BM_Convert/%d" % which,
                    "BM_Iconv/%d" % which, "iconv", 2.0)
        t.time_pair("MimeCharSetBench", "Body charset %s: convert + QP" % name, "BM_ConvertAndQP/%d" % which,
                    "BM_Iconv/%d" % which, "iconv (no QP)", 3.0)
    # Composing (no peer in this program; Python's email is the peer of the script below).
    t.add("Compose 10 MiB, first run", t.seconds("MimeComposeBench", "BM_ComposeFirstRun/process_time", "cpu_time"), None, 0,
          "s cpu", None, "none")
    t.add("Compose 10 MiB, read-back", t.seconds("MimeComposeBench", "BM_ComposeReadBack", "cpu_time"), None, 0,
          "s cpu", None, "none")
    for mib in (10, 100):
        for key, label in (("first", "first run"), ("again", "read-back")):
            t.add("Compose %d MiB %s (process)" % (mib, label), t.script("MimeComposeBench", "%s_%d" % (key, mib)),
                  t.script("MimeComposeBench", "python_%d" % mib), 0.2, "s wall", "Python email")
    t.add("Compose peak RSS, 100 MiB beside 10 MiB", t.script("MimeComposeBench", "rss_100"),
          t.script("MimeComposeBench", "rss_10"), 2048, "KiB", "the 10 MiB run", "diff")
    # Preferences.
    for kind, peer in (("StringPref", "VarString"), ("IntegerPref", "VarInteger"), ("ListPrefPtr", "VarList")):
        t.time_pair("PrefsBench", "Get%s" % kind, "BM_Get%s" % kind, "BM_Get%s" % peer, "clsMultiVar::GetVar", 2.0)
    # Variable lists: no peer; the time per entry at 10,000 beside 100 shows growth.
    for name, label in (("BM_ParseVariables", "Variable list parse"), ("BM_GetVarsAsList", "Variable list write")):
        t.add("%s, per entry at 10,000" % label, t.counter("VarListBench", "%s/10000" % name, "per_entry"),
              t.counter("VarListBench", "%s/100" % name, "per_entry"), 0, "s", "per entry at 100", "none")
    # The SMTP send in one process, beside curl.
    send = t.seconds("SMTPSendBench", "BM_SendOneEmail/iterations:10/real_time", "real_time")
    writer = t.seconds("SMTPSendBench", "BM_WriterAlone/iterations:10/real_time", "real_time")
    t.add("SMTP send 10 MiB minus the writer", send - writer if send and writer else None,
          t.seconds("SMTPSendBench", "BM_CurlUpload/iterations:10/real_time", "real_time"), 1.0, "s wall",
          "curl upload")
    t.add("SMTP send 10 MiB, CPU per MB",
          t.counter("SMTPSendBench", "BM_SendOneEmail/iterations:10/real_time", "cpu_s_per_MB"),
          t.counter("SMTPSendBench", "BM_CurlUpload/iterations:10/real_time", "cpu_s_per_MB"), 2.0, "s/MB",
          "curl upload")
    # The whole program, velmora-host, beside curl and Python.
    for mib in (10, 100):
        ours = t.script("SendBench", "velmora_wall_%d" % mib)
        t.add("velmora-host send %d MiB" % mib, ours, t.script("SendBench", "curl_wall_%d" % mib), 1.0, "s wall",
              "curl upload")
        t.add("velmora-host send %d MiB, CPU" % mib, t.script("SendBench", "velmora_cpu_%d" % mib),
              t.script("SendBench", "curl_cpu_%d" % mib), 2.0, "s cpu", "curl upload")
        t.add("velmora-host send %d MiB beside Python" % mib, ours, t.script("SendBench", "python_wall_%d" % mib),
              0.2, "s wall", "Python smtplib")
        t.add("velmora-host send %d MiB, peak RSS" % mib, t.script("SendBench", "velmora_rss_%d" % mib),
              t.script("SendBench", "curl_rss_%d" % mib), 2.0, "KiB", "curl upload")
    t.add("velmora-host send 100 MiB beside 10 MiB", t.script("SendBench", "velmora_wall_100"),
          t.script("SendBench", "velmora_wall_10"), 11.0, "s wall", "the 10 MiB send")
    return t


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "build-bench/bench-results"
    runs, scripts = load(folder)
    table = build(runs, scripts)
    print(table.render())


if __name__ == "__main__":
    main()
