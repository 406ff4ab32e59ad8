#!/usr/bin/python3
"""Side-by-side benchmark of our export against the PST readers people use.

Generates (once, cached outside the source tree) a 20,000-message archive with
realistic sizes, then times, on the same machine and in one run:
  ours-1     QUILLMAR_THREADS=1 pst2txt ARCHIVE OUT   (one walker)
  ours-N     QUILLMAR_THREADS=<cores> pst2txt ARCHIVE OUT
  pffexport  pffexport -f all -q -t OUT ARCHIVE
  readpst    readpst -S -j 0 -q -o OUT ARCHIVE  (-j 0: one process; its parallel
             mode was seen to skip items now and then)
one warm-up each, then --runs runs each, alternating (in a different order each
round, each after writing and freeing --settle-mib of memory, see
settle_memory), each into a directory of its own that no run wrote before
(on tmpfs deleted before the next run; elsewhere after the last run, untimed:
deleting a tree costs more than writing it on ext4), and prints
medians of wall time, user+sys time, peak RSS and messages per second, and
each one's ratio to ours-1. Also times the generator on that archive and,
with --generate-large, on a 100,000-message archive.

With --check-cost, times instead pst2txt with its completeness check (which
runs beside the export) against pst2txt --no-check, with the default walker
count and with QUILLMAR_THREADS=1, the same way, and prints each pair's
medians and the ratio of their wall times.

With --instructions, counts instead the instructions per message of ours-1,
the floor program (bench/libpff_floor.c: what an export must at least read
through libpff), pffexport and readpst with callgrind, one run each (use a
small archive: --messages 2000).

usage: bench/compare_exporters.py [--build DIR] [--runs N] [--messages N]
                                  [--group-by-folder] [--work DIR] [--settle-mib M]
                                  [--generate-large] [--instructions] [--check-cost]
(--work names where the exporters write, e.g. /dev/shm to leave the disk out.)
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

# One message in five carries one attachment of 20-200 KB; bodies of 3 KB;
# transport headers of 1-2 KB (the generator's default).
GENERATOR_FLAGS = ["--folders", "20", "--attachments-per-message", "1",
                   "--attachment-every", "5", "--attachment-size-min", "20480",
                   "--attachment-size-max", "204800", "--body-size", "3000",
                   "--seed", "42"]


def timed(command, env=None):
    """Runs command under /usr/bin/time; returns (wall s, cpu s, peak RSS KiB)."""
    with tempfile.NamedTemporaryFile("r", suffix=".time") as report:
        subprocess.run(["/usr/bin/time", "-f", "%e %U %S %M", "-o", report.name] + command,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       env=dict(os.environ, **(env or {})))
        wall, user, system, rss = report.read().split()[-4:]
    return float(wall), float(user) + float(system), int(rss)


def build(build_dir):
    subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                    "-DQUILLMAR_BUILD_TESTS=OFF"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j", str(os.cpu_count()),
                    "--target", "QuillmarPST", "pst2txt", "pstgen", "libpff_floor"],
                   check=True, stdout=subprocess.DEVNULL)
    return (os.path.join(build_dir, "pst2txt"), os.path.join(build_dir, "tools", "pstgen", "pstgen"),
            os.path.join(build_dir, "bench", "libpff_floor"))


def generate(pstgen, messages, path, extra_flags=()):
    """Writes the archive unless cached; returns the generator's measurement or None."""
    if os.path.exists(path):
        return None
    os.makedirs(os.path.dirname(path), exist_ok=True)
    partial = path + ".partial"
    measurement = timed([pstgen, "--messages", str(messages)] + GENERATOR_FLAGS +
                        list(extra_flags) + [partial])
    os.replace(partial, path)
    return measurement


def exporters(pst2txt, archive):
    """name -> (command for an output path, environment, whether the path must exist)."""
    cores = str(os.cpu_count())
    return {
        "ours-1": (lambda out: [pst2txt, "--no-check", archive, out], {"QUILLMAR_THREADS": "1"},
                   False),
        f"ours-{cores}": (lambda out: [pst2txt, "--no-check", archive, out],
                          {"QUILLMAR_THREADS": cores}, False),
        "pffexport": (lambda out: ["pffexport", "-f", "all", "-q", "-t", out, archive], {}, False),
        "readpst": (lambda out: ["readpst", "-S", "-j", "0", "-q", "-o", out, archive], {}, True),
    }


def check_runs(pst2txt, archive):
    """pst2txt with and without its check, default walkers and one; as exporters()."""
    tools = {}
    for walkers, env in (("default", {}), ("1", {"QUILLMAR_THREADS": "1"})):
        tools[f"check-{walkers}"] = (lambda out: [pst2txt, archive, out], env, False)
        tools[f"no-check-{walkers}"] = (lambda out: [pst2txt, "--no-check", archive, out], env,
                                        False)
    return tools


def report_check_cost(samples):
    walls = {name: statistics.median(s[0] for s in runs) for name, runs in samples.items()}
    cpus = {name: statistics.median(s[1] for s in runs) for name, runs in samples.items()}
    print(f"{'walkers':<8} {'check wall s':>13} {'no-check wall s':>16} {'ratio':>6}"
          f" {'check cpu s':>12} {'no-check cpu s':>15}")
    for walkers in ("default", "1"):
        check, bare = f"check-{walkers}", f"no-check-{walkers}"
        print(f"{walkers:<8} {walls[check]:13.2f} {walls[bare]:16.2f} "
              f"{walls[check] / walls[bare]:6.2f} {cpus[check]:12.2f} {cpus[bare]:15.2f}")


def on_tmpfs(path):
    path = os.path.realpath(path)
    mounts = [line.split() for line in open("/proc/mounts")]
    best = max((m for m in mounts if path.startswith(m[1].rstrip("/") + "/") or path == m[1]),
               key=lambda m: len(m[1]))
    return best[2] == "tmpfs"


def settle_memory(size):
    """Writes to `size` bytes of fresh memory and frees them. In a virtual
    machine whose host takes freed memory back, the first touch of a page
    costs a fault in the host as well; a tool that ran right after a large
    tree was deleted would find many pages still mapped and write its output
    several times faster than one that did not (measured here: 655 MB into
    tmpfs in 0.26 s warm, 1.5-1.7 s cold). Each run gets the same start."""
    if size <= 0:
        return
    block = bytearray(size)
    block[::4096] = b"\x01" * len(range(0, size, 4096))
    del block


def run_all(tools, runs, work, settle_bytes):
    """Each run writes a directory of its own, the tools in a different order
    each round, each run after settle_memory. On tmpfs, which holds only a
    few outputs, each output is deleted before the next run; elsewhere all
    stay until the end, as deleting a tree there slows the file creations
    that follow."""
    samples = {name: [] for name in tools}
    delete_each_run = on_tmpfs(work)
    names = list(tools)
    for round_number in range(runs + 1):  # round 0 is the warm-up
        shift = round_number % len(names)
        for name in names[shift:] + names[:shift]:
            command, env, must_exist = tools[name]
            out = os.path.join(work, f"round{round_number}-{name}")
            if must_exist:
                os.makedirs(out)
            settle_memory(settle_bytes)
            measurement = timed(command(out), env)
            if round_number > 0:
                samples[name].append(measurement)
            if delete_each_run:
                for path in (out, out + ".export"):
                    shutil.rmtree(path, ignore_errors=True)
        print(f"  round {round_number}/{runs} done", file=sys.stderr)
    return samples


def instructions_per_message(command, messages, env=None):
    with tempfile.TemporaryDirectory(dir="/dev/shm") as work:
        out = os.path.join(work, "out")
        os.makedirs(out)
        # pst2txt exports in a child process: every process counts.
        subprocess.run(["valgrind", "--tool=callgrind", "--trace-children=yes",
                        f"--callgrind-out-file={work}/callgrind.out.%p"] + command(out),
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       env=dict(os.environ, **(env or {})))
        total = 0
        for log in os.listdir(work):
            if log.startswith("callgrind.out."):
                with open(os.path.join(work, log), "rb") as text:
                    total += int(re.search(rb"^summary: (\d+)", text.read(), re.M)[1])
    return total / messages


def report_instructions(pst2txt, floor, archive, messages):
    tools = exporters(pst2txt, archive)
    rows = [("floor (libpff_floor)", lambda out: [floor, archive], {})]
    rows += [(name, command, env) for name, (command, env, _) in tools.items()
             if not name.startswith("ours-") or name == "ours-1"]
    counts = {name: instructions_per_message(command, messages, env) for name, command, env in rows}
    floor_count = counts["floor (libpff_floor)"]
    print(f"{'program':<22} {'instructions/message':>21} {'/ floor':>8} {'/ pffexport':>12} {'/ readpst':>10}")
    for name, count in counts.items():
        print(f"{name:<22} {count:21,.0f} {count / floor_count:8.3f} "
              f"{count / counts['pffexport']:12.3f} {count / counts['readpst']:10.3f}")


def report(samples, messages):
    medians = {name: tuple(statistics.median(s[i] for s in runs) for i in range(3))
               for name, runs in samples.items()}
    ours = medians["ours-1"]
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
    parser.add_argument("--group-by-folder", action="store_true",
                        help="each folder's messages in one identifier range")
    parser.add_argument("--instructions", action="store_true",
                        help="count instructions per message instead of timing")
    parser.add_argument("--check-cost", action="store_true",
                        help="time pst2txt with its check against --no-check instead")
    parser.add_argument("--settle-mib", type=int, default=3072,
                        help="memory written and freed before each timed run (0: none)")
    args = parser.parse_args()

    pst2txt, pstgen, floor = build(args.build)
    layout = "grouped" if args.group_by_folder else "interleaved"
    archive = os.path.join(CACHE, "bench", f"bench-{args.messages}-{layout}-seed42.pst")
    generated = generate(pstgen, args.messages, archive,
                         ["--group-by-folder"] if args.group_by_folder else [])
    if args.instructions:
        report_instructions(pst2txt, floor, archive, args.messages)
        return
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
    tools = check_runs(pst2txt, archive) if args.check_cost else exporters(pst2txt, archive)
    with tempfile.TemporaryDirectory(dir=args.work) as work:
        samples = run_all(tools, args.runs, work, args.settle_mib << 20)
    print(f"medians of {args.runs} runs after a warm-up, alternating, on {os.cpu_count()} cores, "
          f"writing into {args.work}, {args.settle_mib} MiB settled before each run:")
    if args.check_cost:
        report_check_cost(samples)
    else:
        report(samples, args.messages)


if __name__ == "__main__":
    main()
