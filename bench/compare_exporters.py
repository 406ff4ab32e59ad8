#!/usr/bin/python3
"""Side-by-side benchmark of our export against the PST readers people use.

Generates (once, cached outside the source tree) a 20,000-message archive with
realistic sizes, then times, on the same machine and in one run:
  ours       pst2txt ARCHIVE OUT            (QuillmarPST.so through its host)
  pffexport  pffexport -f all -q -t OUT ARCHIVE
  readpst    readpst -S -j 0 -q -o OUT ARCHIVE  (-j 0: one process; its parallel
             mode was seen to skip items now and then)
one warm-up each, then --runs runs each, alternating, and prints medians of
wall time, user+sys time, peak RSS and messages per second, and each peer's
ratio to ours. Also times the generator on that archive and, with
--generate-large, on a 100,000-message archive.

usage: bench/compare_exporters.py [--build DIR] [--runs N] [--messages N]
                                  [--work DIR] [--generate-large]
(--work names where the exporters write, e.g. /dev/shm to leave the disk out.)
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

# One message in five carries one attachment of 20-200 KB; bodies of 3 KB;
# transport headers of 1-2 KB (the generator's default).
GENERATOR_FLAGS = ["--folders", "20", "--attachments-per-message", "1",
                   "--attachment-every", "5", "--attachment-size-min", "20480",
                   "--attachment-size-max", "204800", "--body-size", "3000",
                   "--seed", "42"]


def timed(command):
    """Runs command under /usr/bin/time; returns (wall s, cpu s, peak RSS KiB)."""
    with tempfile.NamedTemporaryFile("r", suffix=".time") as report:
        subprocess.run(["/usr/bin/time", "-f", "%e %U %S %M", "-o", report.name] + command,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wall, user, system, rss = report.read().split()[-4:]
    return float(wall), float(user) + float(system), int(rss)


def build(build_dir):
    subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                    "-DQUILLMAR_BUILD_TESTS=OFF"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j", str(os.cpu_count()),
                    "--target", "QuillmarPST", "pst2txt", "pstgen"],
                   check=True, stdout=subprocess.DEVNULL)
    return os.path.join(build_dir, "pst2txt"), os.path.join(build_dir, "tools", "pstgen", "pstgen")


def generate(pstgen, messages, path):
    """Writes the archive unless cached; returns the generator's measurement or None."""
    if os.path.exists(path):
        return None
    os.makedirs(os.path.dirname(path), exist_ok=True)
    partial = path + ".partial"
    measurement = timed([pstgen, "--messages", str(messages)] + GENERATOR_FLAGS + [partial])
    os.replace(partial, path)
    return measurement


def exporters(pst2txt, archive, work):
    out = os.path.join(work, "out")
    return {
        "ours": ([pst2txt, archive, out], [out]),
        "pffexport": (["pffexport", "-f", "all", "-q", "-t", out, archive], [out + ".export"]),
        "readpst": (["readpst", "-S", "-j", "0", "-q", "-o", out, archive], [out]),
    }


def prepare(name, outputs):
    for path in outputs:
        shutil.rmtree(path, ignore_errors=True)
    if name == "readpst":
        os.makedirs(outputs[0])


def run_all(tools, runs):
    samples = {name: [] for name in tools}
    for round_number in range(runs + 1):  # round 0 is the warm-up
        for name, (command, outputs) in tools.items():
            prepare(name, outputs)
            measurement = timed(command)
            if round_number > 0:
                samples[name].append(measurement)
        print(f"  round {round_number}/{runs} done", file=sys.stderr)
    for _, outputs in tools.values():
        for path in outputs:
            shutil.rmtree(path, ignore_errors=True)
    return samples


def report(samples, messages):
    medians = {name: tuple(statistics.median(s[i] for s in runs) for i in range(3))
               for name, runs in samples.items()}
    ours = medians["ours"]
    print(f"{'tool':<10} {'wall s':>8} {'cpu s':>8} {'peak RSS MiB':>13} {'msgs/s':>9}"
          f" {'wall/ours':>10} {'cpu/ours':>9} {'RSS/ours':>9}")
    for name, (wall, cpu, rss) in medians.items():
        print(f"{name:<10} {wall:8.2f} {cpu:8.2f} {rss / 1024:13.1f} {messages / wall:9.0f}"
              f" {wall / ours[0]:10.2f} {cpu / ours[1]:9.2f} {rss / ours[2]:9.2f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "bench"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--messages", type=int, default=20000)
    parser.add_argument("--work", default=os.path.join(CACHE, "bench"),
                        help="directory the exporters write into")
    parser.add_argument("--generate-large", action="store_true",
                        help="also time writing a 100,000-message archive")
    args = parser.parse_args()

    pst2txt, pstgen = build(args.build)
    archive = os.path.join(CACHE, "bench", f"bench-{args.messages}-seed42.pst")
    generated = generate(pstgen, args.messages, archive)
    print(f"archive: {archive} ({os.path.getsize(archive) / 2**20:.0f} MiB, {args.messages} messages)")
    if generated:
        wall, cpu, rss = generated
        print(f"pstgen {args.messages} messages: wall {wall:.2f} s, cpu {cpu:.2f} s, "
              f"peak RSS {rss / 1024:.1f} MiB")
    if args.generate_large:
        with tempfile.TemporaryDirectory(dir=os.path.join(CACHE, "bench")) as work:
            large = os.path.join(work, "large.pst")
            wall, cpu, rss = generate(pstgen, 100000, large)
            print(f"pstgen 100000 messages: wall {wall:.2f} s, cpu {cpu:.2f} s, "
                  f"peak RSS {rss / 1024:.1f} MiB, {os.path.getsize(large) / 2**20:.0f} MiB")

    os.makedirs(args.work, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=args.work) as work:
        samples = run_all(exporters(pst2txt, archive, work), args.runs)
    print(f"medians of {args.runs} runs after a warm-up, alternating, on {os.cpu_count()} cores, "
          f"writing into {args.work}:")
    report(samples, args.messages)


if __name__ == "__main__":
    main()
