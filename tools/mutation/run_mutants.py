#!/usr/bin/env python3
"""Mutation testing of src/ against the ctest suite, whatever tests it holds.

Each line of mutants.txt (next to this script) is one fault, tab-separated:
id, kind, file (relative to the repository root), original text, replacement,
description. Blank lines and lines starting with '#' are skipped; U+23CE in
the original or the replacement stands for a line break. The original must
occur exactly once in its file.

For each fault: apply it, rebuild, run ctest, restore the file (always, also
on Ctrl-C or SIGTERM). A fault is caught when at least one test fails.
"""
import argparse
import signal
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent
ARCHIVES = Path.home() / ".cache/quillmarpst/pst-extractor-1.12.0/package/example/testdata"
LINE_BREAK = "\u23ce"


def load_mutants(path, only):
    mutants = []
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        fields = line.split("\t")
        if len(fields) != 6:
            sys.exit(f"{path}:{number}: {len(fields)} fields, expected 6")
        mid, kind, rel, original, replacement, description = fields
        if only and mid not in only:
            continue
        mutants.append(dict(id=mid, kind=kind, file=rel, description=description,
                            original=original.replace(LINE_BREAK, "\n").encode(),
                            replacement=replacement.replace(LINE_BREAK, "\n").encode()))
    return mutants


def run(command, log):
    with open(log, "w") as out:
        return subprocess.run(command, stdout=out, stderr=subprocess.STDOUT).returncode


def build(build_dir):
    return run(["cmake", "--build", str(build_dir), "-j", "2"], build_dir / "mutation-build.log") == 0


def failing_tests(build_dir, exclude):
    """Names of the tests that fail; empty when the suite passes."""
    failed_log = build_dir / "Testing/Temporary/LastTestsFailed.log"
    failed_log.unlink(missing_ok=True)
    command = ["ctest", "--test-dir", str(build_dir), "-j", "2", "--timeout", "300"]
    if exclude:
        command += ["-E", exclude]
    code = run(command, build_dir / "mutation-ctest.log")
    names = []
    if failed_log.exists():
        names = [line.split(":", 1)[1] for line in failed_log.read_text().splitlines() if ":" in line]
    if code != 0 and not names:
        names = [f"ctest exit status {code}"]
    return names


def try_mutant(mutant, build_dir, exclude):
    """(status, failing test names) of one fault; the file is always restored."""
    path = ROOT / mutant["file"]
    source = path.read_bytes()
    count = source.count(mutant["original"])
    if count != 1:
        return "NOT_UNIQUE", [f"original text found {count} times"]
    try:
        path.write_bytes(source.replace(mutant["original"], mutant["replacement"]))
        if not build(build_dir):
            return "BUILD_FAILED", []
        failed = failing_tests(build_dir, exclude)
        return ("CAUGHT" if failed else "SURVIVED"), failed
    finally:
        path.write_bytes(source)


def describe(status, failed):
    if status == "CAUGHT":
        more = f" (+{len(failed) - 3} more)" if len(failed) > 3 else ""
        return "caught by " + ", ".join(failed[:3]) + more
    if status == "NOT_UNIQUE":
        return "NOT UNIQUE: " + failed[0]
    return status.replace("_", " ")


def stop(*_):
    raise KeyboardInterrupt  # so that try_mutant restores the file


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, type=Path, help="build directory")
    parser.add_argument("--exclude", help="ctest -E regex of tests not to run")
    parser.add_argument("--only", help="comma-separated mutant ids")
    parser.add_argument("--out", type=Path, help="TSV of id, status, failing tests")
    parser.add_argument("--mutants", type=Path, default=HERE / "mutants.txt")
    parser.add_argument("--archives", type=Path, default=ARCHIVES, help="real test archives")
    parser.add_argument("--cmake-arg", action="append", default=[], help="extra cmake argument")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, stop)

    only = set(args.only.split(",")) if args.only else None
    mutants = load_mutants(args.mutants, only)
    build_dir = args.build.resolve()
    if not (build_dir / "CMakeCache.txt").exists() or args.cmake_arg:
        build_dir.mkdir(parents=True, exist_ok=True)
        configure = ["cmake", "-S", str(ROOT), "-B", str(build_dir), "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                     f"-DQUILLMAR_ARCHIVE_CACHE={args.archives}", *args.cmake_arg]
        if run(configure, build_dir / "mutation-configure.log") != 0:
            sys.exit(f"configure failed, see {build_dir / 'mutation-configure.log'}")
    if not build(build_dir):
        sys.exit(f"unmutated build failed, see {build_dir / 'mutation-build.log'}")
    baseline = failing_tests(build_dir, args.exclude)
    if baseline:
        sys.exit("baseline fails: " + ", ".join(baseline))
    print(f"baseline passes; {len(mutants)} mutants", flush=True)

    results = []
    for index, mutant in enumerate(mutants, 1):
        start = time.monotonic()
        status, failed = try_mutant(mutant, build_dir, args.exclude)
        results.append((mutant, status, failed))
        print(f"[{index}/{len(mutants)}] {mutant['id']} {describe(status, failed)}"
              f" ({time.monotonic() - start:.0f} s)", flush=True)
    if not build(build_dir):
        print("warning: the unmutated tree no longer builds", flush=True)

    print("\n| id | kind | description | result |\n|---|---|---|---|")
    for mutant, status, failed in results:
        cells = [mutant["id"], mutant["kind"], mutant["description"], describe(status, failed)]
        print("| " + " | ".join(cell.replace("|", "\\|") for cell in cells) + " |")
    caught = sum(status == "CAUGHT" for _, status, _ in results)
    counts = {s: sum(r[1] == s for r in results) for s in ("SURVIVED", "BUILD_FAILED", "NOT_UNIQUE")}
    print(f"\ncaught {caught}/{len(results)}; " + ", ".join(f"{k.lower()} {v}" for k, v in counts.items()))
    if args.out:
        with open(args.out, "w") as out:
            out.write("id\tstatus\tfailing_tests\n")
            for mutant, status, failed in results:
                out.write(f"{mutant['id']}\t{status}\t{','.join(failed)}\n")


if __name__ == "__main__":
    main()
