#!/usr/bin/env python3
"""Shrinks a fuzzing finding for tests/fuzz/regressions.

usage: minimize.py FUZZER INPUT OUTPUT

Runs FUZZER (build/fuzz/tools/fuzz/export_fuzzer, built before the fix) on
INPUT and keeps what identifies the finding: the sanitizer's kind and the
first stack frame outside the allocator (with the summary's place for other
than a leak), or a libFuzzer timeout. Then cuts
the trailing zero bytes and zeroes the largest runs of bytes it can, from
4096 down to 64 bytes, keeping each change after which the same finding
still occurs. libFuzzer's own minimisation erases bytes, which moves every
structure an archive locates by offset; zeroing keeps the offsets, and git
stores the zeroed runs compactly.
"""
import os
import re
import subprocess
import sys
import tempfile

ALLOCATOR = re.compile(r"\b(malloc|calloc|realloc|operator new|__interceptor_\w+|memory_allocate)\b")
FRAME = re.compile(r"^\s*#\d+ 0x[0-9a-f]+ in (\S+)")


def signature(fuzzer, path):
    """What identifies the finding path makes, or None when it makes none."""
    run = subprocess.run([fuzzer, "-timeout=25", path], stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, errors="replace")
    if run.returncode == 0:
        return None
    text = run.stderr
    if "ERROR: libFuzzer: timeout" in text:
        return ("timeout",)
    # A leak's summary counts bytes; other summaries name the kind and place.
    kind = ("leak",) if "LeakSanitizer" in text else re.search(r"SUMMARY: (.*)", text)
    frame = next((m.group(1) for m in map(FRAME.match, text.splitlines())
                  if m and not ALLOCATOR.search(m.group(1))), None)
    if isinstance(kind, re.Match):
        kind = kind.groups()
    return (kind or ("exit", run.returncode), frame)


def main():
    fuzzer, source, target = sys.argv[1:4]
    data = bytearray(open(source, "rb").read())
    with tempfile.TemporaryDirectory() as scratch:
        trial = os.path.join(scratch, "trial")

        def same(candidate):
            with open(trial, "wb") as f:
                f.write(candidate)
            return signature(fuzzer, trial) == wanted

        wanted = signature(fuzzer, source)
        if wanted is None:
            sys.exit(f"minimize: {source} makes no finding with {fuzzer}")
        print(f"minimize: {wanted}, {len(data)} bytes", file=sys.stderr)
        end = -(-len(data.rstrip(b"\0")) // 64) * 64
        if end < len(data) and same(data[:end]):
            data = data[:end]
        for run in (4096, 1024, 256, 64):
            for at in range(0, len(data), run):
                if not any(data[at:at + run]):
                    continue
                candidate = bytearray(data)
                candidate[at:at + run] = bytes(len(candidate[at:at + run]))
                if same(candidate):
                    data = candidate
        end = -(-len(data.rstrip(b"\0")) // 64) * 64
        if end < len(data) and same(data[:end]):
            data = data[:end]
    open(target, "wb").write(data)
    print(f"minimize: {len(data)} bytes, {sum(1 for b in data if b)} not zero", file=sys.stderr)


if __name__ == "__main__":
    main()
