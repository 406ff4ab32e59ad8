"""pst2txt.exe as a batch tool on Windows: four archives three at a time with
a stand-in DLL, one hanging until the timeout kills it and one crashing,
told by its exception code; the report, the logs; then the DLL beside the
program, one export, the refusal of a second into the same directory and
the check after a deletion.
usage: windows_batch_test.py EMULATOR PST2TXT PSTGEN FAULTY_DLL REAL_DLL
(EMULATOR empty on Windows itself; under wine, paths go through drive Z:)"""
import json
import ntpath
import os
import shutil
import subprocess
import sys
import tempfile

emulator, host, pstgen, faulty, real = sys.argv[1:6]
failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)


def windows(path):
    return "Z:" + path.replace("/", "\\") if emulator else path


def run(program, *args, **kwargs):
    command = ([emulator] if emulator else []) + [program, *args]
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


with tempfile.TemporaryDirectory() as work:
    good = os.path.join(work, "good.pst")
    run(pstgen, "--quiet", "--messages", "30", "--attachment-every", "3", windows(good),
        check=True)
    batch = [good] + [os.path.join(work, name + ".pst") for name in ("other", "hang", "crash")]
    for copy in batch[1:]:
        shutil.copyfile(good, copy)
    root, report = os.path.join(work, "root"), os.path.join(work, "report.json")
    result = run(host, "--library", windows(faulty), "-j", "3", "--timeout", "10",
                 "--report", windows(report), "-o", windows(root), *map(windows, batch),
                 env=dict(os.environ, QUILLMAR_REAL_LIBRARY=windows(real)))
    results = {ntpath.basename(a["output"]): (a["result"], a["messages"])
               for a in json.load(open(report))["archives"]}
    expect(result.returncode == 1 and results == {
        "good": ("complete", 30), "other": ("complete", 30), "hang": ("timed out", 0),
        "crash": ("crashed (exception 0xC0000005)", 0)},
        f"batch: exit {result.returncode}, {results}")
    table = result.stdout.splitlines()  # aligned: every line as long as the others
    expect(len(table) == 5 and len(set(map(len, table))) == 1 and
           "Termine" in open(root + "/other.log").read(), f"batch table and logs: {result.stdout}")

    result = run(host, "--version")
    expect(result.returncode == 0 and result.stdout.strip() == "pst_reader_dll_1.0",
           f"version: {result.returncode} {result.stdout} {result.stderr}")
    out = os.path.join(work, "single")
    result = run(host, windows(good), windows(out))
    expect(result.returncode == 0 and "pst2txt: complete: 30 written" in result.stderr,
           f"single export: {result.returncode} {result.stderr}")
    result = run(host, windows(good), windows(out))
    expect(result.returncode == 2 and "is not empty" in result.stderr, f"refusal: {result.stderr}")
    shutil.rmtree(out + "/good_00000007")
    result = run(host, "--check", windows(good), windows(out))
    expect(result.returncode == 3 and "incomplete: 1 missing" in result.stderr and
           "no directory holds its mail.txt" in result.stderr, f"after deletion: {result.stderr}")

print("\n".join(failures) or "windows batch ok")
sys.exit(1 if failures else 0)
