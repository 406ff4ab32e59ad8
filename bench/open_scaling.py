#!/usr/bin/python3
"""How opening and exporting scale with the number of messages.

For each size (default 5k, 10k, 20k, 40k, 100k messages) and layout
(identifiers interleaved across folders, as pstgen writes them by default,
and with --layouts grouped,... also each folder's messages in one range, as
--group-by-folder writes them; cached outside the source tree), in one run
on the same machine:
  open     median wall time of libpff_file_open with the libpff the product
           links (patched) and with the system's, and their instructions
           (callgrind; the system's only up to --callgrind-system-max
           messages, as it is quadratic and callgrind ~50x slower)
  export   median wall time and peak RSS of pst2txt (one walker) into a
           fresh directory on tmpfs (/dev/shm), the archives taking turns
           round after round; the time after the open, per message, and
           that against the smallest size of the layout

usage: bench/open_scaling.py [--build DIR] [--runs N] [--sizes 5000,10000,...]
                             [--layouts interleaved,grouped]
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CACHE = os.environ.get("QUILLMAR_CACHE",
                       os.path.join(os.path.expanduser("~"), ".cache", "quillmarpst"))


def build(build_dir):
    subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                    "-DQUILLMAR_BUILD_TESTS=OFF"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j", str(os.cpu_count()), "--target",
                    "QuillmarPST", "pst2txt", "pstgen", "libpff_open_bench",
                    "libpff_open_bench_system"], check=True, stdout=subprocess.DEVNULL)
    bench = os.path.join(build_dir, "bench")
    return (os.path.join(build_dir, "pst2txt"), os.path.join(build_dir, "tools", "pstgen", "pstgen"),
            os.path.join(bench, "libpff_open_bench"), os.path.join(bench, "libpff_open_bench_system"))


def archive(pstgen, messages, layout):
    path = os.path.join(CACHE, "bench", f"{layout}-{messages}.pst")
    if not os.path.exists(path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        grouped = ["--group-by-folder"] if layout == "grouped" else []
        subprocess.run([pstgen, "--quiet", "--messages", str(messages), "--folders", "20"] +
                       grouped + [path + ".partial"], check=True)
        os.replace(path + ".partial", path)
    return path


def open_seconds(opener, path, runs):
    return float(subprocess.run([opener, path, str(runs)], check=True, capture_output=True,
                                text=True).stdout)


def instructions(opener, path):
    with tempfile.NamedTemporaryFile(suffix=".callgrind") as out:
        subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out.name}",
                        opener, path], check=True, capture_output=True)
        return int(re.search(rb"^summary: (\d+)", open(out.name, "rb").read(), re.M)[1])


def export_seconds(pst2txt, path, work):
    """(wall s, peak RSS MiB) of one export into a new directory."""
    out = tempfile.mkdtemp(dir=work)
    os.rmdir(out)
    with tempfile.NamedTemporaryFile("r", suffix=".time") as report:
        subprocess.run(["/usr/bin/time", "-f", "%e %M", "-o", report.name, pst2txt, "--no-check",
                        path, out],
                       check=True, stdout=subprocess.DEVNULL,
                       env=dict(os.environ, QUILLMAR_THREADS="1"))
        wall, rss = report.read().split()[-2:]
    shutil.rmtree(out)
    return float(wall), int(rss) / 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "bench"))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--sizes", default="5000,10000,20000,40000,100000")
    parser.add_argument("--callgrind-system-max", type=int, default=10000)
    parser.add_argument("--work", default="/dev/shm", help="tmpfs the exports write into")
    parser.add_argument("--layouts", default="interleaved")
    args = parser.parse_args()
    pst2txt, pstgen, patched, system = build(args.build)
    print(f"{'layout':>11} {'messages':>9} {'open s':>9} {'system s':>9} {'ratio':>7}"
          f" {'open Ir':>12} {'system Ir':>14} {'export s':>9} {'RSS MiB':>8}"
          f" {'rest us/msg':>12} {'vs first':>9}")
    sizes = [int(size) for size in args.sizes.split(",")]
    cases = [(layout, messages) for layout in args.layouts.split(",") for messages in sizes]
    paths = {case: archive(pstgen, case[1], case[0]) for case in cases}
    exports = {case: [] for case in cases}
    work = tempfile.mkdtemp(dir=args.work, prefix="quillmar-scaling-")
    for _ in range(args.runs):
        for case in cases:
            exports[case].append(export_seconds(pst2txt, paths[case], work))
    first = {}
    for case in cases:
        layout, messages = case
        path = paths[case]
        open_s = statistics.median(open_seconds(patched, path, 1) for _ in range(args.runs))
        system_open = open_seconds(system, path, 1) if layout == "grouped" or messages <= 40000 else float("nan")
        export_s = statistics.median(wall for wall, _ in exports[case])
        rss = max(rss for _, rss in exports[case])
        rest = (export_s - open_s) / messages * 1e6
        first.setdefault(layout, rest)
        system_ir = (f"{instructions(system, path):14,d}"
                     if messages <= args.callgrind_system_max else f"{'-':>14}")
        print(f"{layout:>11} {messages:9d} {open_s:9.3f} {system_open:9.3f} {system_open / open_s:7.0f}"
              f" {instructions(patched, path):12,d} {system_ir} {export_s:9.2f} {rss:8.1f}"
              f" {rest:12.1f} {rest / first[layout]:9.2f}", flush=True)
    shutil.rmtree(work)


if __name__ == "__main__":
    sys.exit(main())
