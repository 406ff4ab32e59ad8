#!/usr/bin/python3
"""Exports of 10,000 to 1,000,000 small messages, side by side.

For each size (default 10k, 100k, 1M; pstgen --folders 20 --body-size 200
--header-size-min 200 --header-size-max 400 --seed 9, identifiers
interleaved across the folders; cached outside the source tree), in one run
on the same machine and disk: pst2txt --no-check with one walker and with
the default number of walkers, and `readpst -S -j 0` up to --readpst-max
messages (its time grows too fast to wait for at a million). Each export
writes into a new directory under --work (on disk by default; a million
messages take about 15 GB per export), all deleted at the end; the programs
take turns within each round.

Prints, per size and program: wall, user and system seconds (medians),
peak RSS (largest), wall time per message and that against the smallest
size, RSS per message.

usage: bench/scale_run.py [--build DIR] [--runs N] [--sizes 10000,100000,1000000]
                          [--work DIR] [--readpst-max N]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CACHE = os.environ.get("QUILLMAR_CACHE",
                       os.path.join(os.path.expanduser("~"), ".cache", "quillmarpst"))
ARCHIVE_OPTIONS = ["--folders", "20", "--body-size", "200", "--header-size-min", "200",
                   "--header-size-max", "400", "--seed", "9"]


def build(build_dir):
    subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                    "-DQUILLMAR_BUILD_TESTS=OFF"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j", str(os.cpu_count()), "--target",
                    "QuillmarPST", "pst2txt", "pstgen"], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(build_dir, "pst2txt"), os.path.join(build_dir, "tools", "pstgen", "pstgen")


def archive(pstgen, messages):
    path = os.path.join(CACHE, "bench", f"scale-{messages}.pst")
    if not os.path.exists(path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        subprocess.run([pstgen, "--quiet", "--messages", str(messages)] + ARCHIVE_OPTIONS +
                       [path + ".partial"], check=True)
        os.replace(path + ".partial", path)
    return path


def measure(command, environment, work):
    """(wall, user, sys seconds, peak RSS MiB) of one run writing into a new
    directory, given to command as its last argument. Outputs are kept
    until the end: on ext4 a run right after a large delete is several times
    slower; earlier writes are flushed first."""
    out = tempfile.mkdtemp(dir=work)
    os.rmdir(out)
    subprocess.run(["sync"], check=True)
    with tempfile.NamedTemporaryFile("r", suffix=".time") as report:
        subprocess.run(["/usr/bin/time", "-f", "%e %U %S %M", "-o", report.name] +
                       command(out), check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, env=dict(os.environ, **environment))
        wall, user, system, rss = report.read().split()[-4:]
    return float(wall), float(user), float(system), int(rss) / 1024


def programs(pst2txt, path, messages, readpst_max):
    yield "ours, 1 walker", lambda out: [pst2txt, "--no-check", path, out], {"QUILLMAR_THREADS": "1"}
    yield "ours, default walkers", lambda out: [pst2txt, "--no-check", path, out], {}
    if messages <= readpst_max:
        # readpst writes into an existing directory.
        yield "readpst -S -j 0", lambda out: ["sh", "-c", 'mkdir "$1" && exec readpst -q -S -j 0 -o "$1" "$2"',
                                               "readpst", out, path], {}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "bench"))
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--sizes", default="10000,100000,1000000")
    parser.add_argument("--work", default=os.path.join(ROOT, "build", "scale-work"),
                        help="where the exports write (a disk, not tmpfs, by default)")
    parser.add_argument("--readpst-max", type=int, default=100000)
    args = parser.parse_args()
    pst2txt, pstgen = build(args.build)
    sizes = [int(size) for size in args.sizes.split(",")]
    paths = {messages: archive(pstgen, messages) for messages in sizes}
    os.makedirs(args.work, exist_ok=True)
    work = tempfile.mkdtemp(dir=args.work, prefix="quillmar-scale-")
    results = {}
    for _ in range(args.runs):
        for messages in sizes:
            for name, command, environment in programs(pst2txt, paths[messages], messages,
                                                       args.readpst_max):
                results.setdefault((messages, name), []).append(measure(command, environment, work))
    shutil.rmtree(work)
    print("| messages | program | wall s | user s | sys s | peak RSS MiB | µs/message | vs smallest | RSS KB/message |")
    print("|---:|---|---:|---:|---:|---:|---:|---:|---:|")
    first = {}
    for (messages, name), runs in results.items():
        wall, user, system = (statistics.median(run[k] for run in runs) for k in range(3))
        rss = max(run[3] for run in runs)
        per_message = wall / messages * 1e6
        first.setdefault(name, per_message)
        print(f"| {messages:,} | {name} | {wall:.1f} | {user:.1f} | {system:.1f} | {rss:.1f} |"
              f" {per_message:.1f} | {per_message / first[name]:.2f} | {rss * 1024 / messages:.2f} |",
              flush=True)


if __name__ == "__main__":
    sys.exit(main())
