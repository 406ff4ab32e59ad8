#!/usr/bin/env python3
"""The Windows DLL writes what the Linux library writes.

    windows_parity_check.py LINUX_BUILD WINDOWS_BUILD ARCHIVE_DIR

Each case of the table is exported twice in each time zone: by the Linux
library (loaded through ctypes) and by QuillmarPST.dll in a small Windows
host under wine (LoadLibraryW, GetProcAddress). The two output trees must be
the same byte for byte, and so must the console texts and the result, once
CR LF is read as LF and '\\' in paths as '/'. Prints "parity ok" at the end.
"""
import filecmp
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
WINE = ROOT / "scripts" / "wine.sh"
TIME_ZONES = ["Europe/Paris", "America/New_York"]
LONG_STEM = "l" * 200 + "é" * 20 + "😀"  # 244 bytes of UTF-8

# (case, archive: a file of ARCHIVE_DIR or pstgen arguments, archive file
# name, output directory under the work directory, walkers)
CASES = [
    ("enron", "enron.pst", "enron.pst", "out", 1),
    ("ost with pdfs", "pstextractortestpdf@outlook.com.ost", "pdf.ost", "out", 2),
    ("ost", "pstextractortest@outlook.com.ost", "test.ost", "out", 1),
    ("non-ascii names, walkers", "--messages 120 --folders 5 --attachments-per-message 2 "
     "--attachment-every 3 --seed 21", "été 😀 boîte.pst", "sortie ü😀", 3),
    ("long stem, deep root", "--messages 12 --folders 2 --attachments-per-message 1 "
     "--attachment-every 2 --seed 4", LONG_STEM + ".pst", "d" * 120 + "/" + "e" * 120, 1),
    ("attachments up to 300 KiB", "--messages 40 --folders 3 --attachments-per-message 3 "
     "--attachment-size-min 0 --attachment-size-max 300k --seed 8", "pj.pst", "out", 2),
]

LINUX_HOST = r"""
import ctypes, sys
library = ctypes.CDLL(sys.argv[1])
library.pst_export_to_txt_w.restype = ctypes.c_int32
library.pst_export_to_txt_w.argtypes = [ctypes.c_wchar_p, ctypes.c_wchar_p]
library.pst_reader_version.restype = ctypes.c_char_p
result = library.pst_export_to_txt_w(sys.argv[2], sys.argv[3])
libc = ctypes.CDLL(None)
libc.fflush(None)
sys.stderr.write("result %d %s\n" % (result, library.pst_reader_version().decode()))
"""


def run(command, cwd, environment):
    done = subprocess.run(command, cwd=cwd, env=environment, capture_output=True, timeout=900)
    normal = [stream.replace(b"\r\n", b"\n").replace(b"\\", b"/") for stream in
              (done.stdout, done.stderr)]
    return normal


def tree_differences(left, right):
    comparison = filecmp.dircmp(left, right)
    found = comparison.left_only + comparison.right_only + comparison.funny_files
    for name in comparison.common_files:
        if not filecmp.cmp(os.path.join(left, name), os.path.join(right, name), shallow=False):
            found.append(name)
    for name in comparison.common_dirs:
        found += [name + "/" + item for item in
                  tree_differences(os.path.join(left, name), os.path.join(right, name))]
    return found


def main():
    linux_build, windows_build, archives = (pathlib.Path(a).resolve() for a in sys.argv[1:4])
    linux_library = linux_build / "QuillmarPST.so"
    dll = windows_build / "QuillmarPST.dll"
    host = windows_build / "tests" / "e2e" / "windows_host.exe"
    pstgen = linux_build / "tools" / "pstgen" / "pstgen"
    failures = []
    with tempfile.TemporaryDirectory(prefix="parity-") as work_text:
        work = pathlib.Path(work_text)
        for case, source, file_name, output, walkers in CASES:
            archive = work / "archives" / case / file_name
            archive.parent.mkdir(parents=True)
            if source.startswith("--"):
                subprocess.run([str(pstgen), "--quiet", *source.split(), str(archive)], check=True)
            else:
                shutil.copyfile(archives / source, archive)
            for zone in TIME_ZONES:
                environment = dict(os.environ, TZ=zone, QUILLMAR_THREADS=str(walkers),
                                   LC_ALL="C.UTF-8")
                texts = {}
                for side in ("linux", "windows"):
                    where = work / side / case / zone.replace("/", "-")
                    where.mkdir(parents=True)
                    if side == "linux":
                        command = [sys.executable, "-c", LINUX_HOST, str(linux_library),
                                   str(archive), output]
                    else:
                        command = [str(WINE), str(host), str(dll), str(archive), output]
                    texts[side] = run(command, where, environment)
                left = work / "linux" / case / zone.replace("/", "-") / output
                right = work / "windows" / case / zone.replace("/", "-") / output
                label = f"{case}, {zone}"
                if not left.is_dir() or not right.is_dir():
                    failures.append(f"{label}: no output tree ({left.is_dir()}, {right.is_dir()})")
                else:
                    differing = tree_differences(left, right)
                    if differing:
                        failures.append(f"{label}: trees differ: {differing[:5]}")
                for stream, name in enumerate(("output", "error")):
                    if texts["linux"][stream] != texts["windows"][stream]:
                        failures.append(f"{label}: standard {name} differs:\n  linux:   "
                                        f"{texts['linux'][stream][-300:]!r}\n  windows: "
                                        f"{texts['windows'][stream][-300:]!r}")
                messages = sum(1 for _ in left.iterdir()) if left.is_dir() else 0
                print(f"{label}: {messages} message directories, "
                      f"{'same' if not failures or not failures[-1].startswith(label) else 'DIFFERENT'}")
    for failure in failures:
        print(failure)
    if failures:
        return 1
    print("parity ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
