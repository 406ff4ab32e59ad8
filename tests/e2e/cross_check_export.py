#!/usr/bin/python3
"""Exports real archives with pst2txt (which loads QuillmarPST.so) and checks
the output tree against the run's own summary and against pffexport.

For each archive:
  - pst2txt exits 0 and its summary count equals the number of message
    directories, which are numbered 1..N without gaps;
  - every directory holds debug_fields.txt, mail.ok (empty), mail.txt with
    the eight labelled CR LF records in order, a "pj" directory, and
    headers.txt exactly when the dump reports headers (of that size);
  - every distinct attachment content that pffexport extracts is written
    here, byte for byte, and every attachment file written here is either
    one of those or, for the few items pffexport does not export as files
    (meeting responses), the attachment data pypff reads. Contents are
    compared as sets: the tools reach some messages by different walks.
"""
import collections
import hashlib
import os
import re
import subprocess
import sys
import tempfile

import pypff

LABELS = [b"#$who : ", b"#$eme : ", b"#$des : ", b"#$cop : ",
          b"#$pri : ", b"#$tit : ", b"#$dat : ", b"#$txt : "]


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def check_message_dir(path, faults):
    names = set(os.listdir(path))
    for required in ("debug_fields.txt", "mail.ok", "mail.txt", "pj"):
        if required not in names:
            faults.append(f"{path}: no {required}")
            return
    if os.path.getsize(os.path.join(path, "mail.ok")) != 0:
        faults.append(f"{path}: mail.ok not empty")
    with open(os.path.join(path, "mail.txt"), "rb") as f:
        text = f.read()
    position = 0
    for label in LABELS:
        if not text.startswith(label, position):
            faults.append(f"{path}: mail.txt lacks {label!r} at byte {position}")
            return
        end = text.find(b"\r\n", position) if label != LABELS[-1] else len(text) - 2
        position = end + 2
    if not text.endswith(b"\r\n"):
        faults.append(f"{path}: mail.txt does not end in CR LF")
    with open(os.path.join(path, "debug_fields.txt"), "rb") as f:
        dump = f.read()
    size = int(re.search(rb"\r\nheaders_size=(\d+)\r\n$", dump).group(1))
    headers = os.path.join(path, "headers.txt")
    if size and (not os.path.exists(headers) or os.path.getsize(headers) != size):
        faults.append(f"{path}: headers.txt missing or not {size} bytes")
    if not size and os.path.exists(headers):
        faults.append(f"{path}: headers.txt without headers")


def our_attachments(out_dir):
    found = collections.Counter()
    for entry in os.listdir(out_dir):
        pj = os.path.join(out_dir, entry, "pj")
        for name in os.listdir(pj):
            found[digest(os.path.join(pj, name))] += 1
    return found


def pffexport_attachments(archive, work):
    target = os.path.join(work, "pffexport")
    subprocess.run(["pffexport", "-q", "-f", "all", "-t", target, archive],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    found = collections.Counter()
    for root, _, files in os.walk(target + ".export"):
        if os.path.basename(root) == "Attachments":
            for name in files:
                found[digest(os.path.join(root, name))] += 1
    return found


def pypff_attachments(archive):
    pff = pypff.file()
    pff.open(archive)
    found = set()

    def walk(folder):
        for i in range(folder.number_of_sub_messages):
            for attachment in folder.get_sub_message(i).attachments:
                size = attachment.size or 0
                if size:
                    found.add(hashlib.sha256(attachment.read_buffer(size)).hexdigest())
        for j in range(folder.number_of_sub_folders):
            walk(folder.get_sub_folder(j))

    walk(pff.get_root_folder())
    return found


def check(host, archive):
    faults = []
    with tempfile.TemporaryDirectory() as work:
        out_dir = os.path.join(work, "out")
        run = subprocess.run([host, archive, out_dir], capture_output=True)
        if run.returncode != 0:
            return [f"pst2txt exited {run.returncode}: {run.stderr[-500:]!r}"]
        count = int(re.search(rb"Termine\. Nombre de mails exportes: (\d+)\n$", run.stdout).group(1))
        dirs = sorted(os.listdir(out_dir))
        stem = os.path.splitext(os.path.basename(archive))[0]
        expected = [f"{stem}_{n:08d}" for n in range(1, count + 1)]
        if dirs != expected:
            faults.append(f"directories {dirs[:3]}... are not {expected[:3]}... ({len(dirs)} vs {count})")
        for name in dirs:
            check_message_dir(os.path.join(out_dir, name), faults)
        ours = our_attachments(out_dir)
        theirs = pffexport_attachments(archive, work)
        missing = set(theirs) - set(ours)
        unexplained = set(ours) - set(theirs) - pypff_attachments(archive)
        if missing or unexplained:
            faults.append(f"attachments differ: {len(missing)} contents of pffexport not written, "
                          f"{len(unexplained)} written that no reader extracts")
        print(f"{archive}: result {count}, {len(dirs)} directories, "
              f"{sum(ours.values())} attachment files ({len(ours)} distinct), {len(faults)} faults")
    return faults


def main():
    host, archives = sys.argv[1], sys.argv[2:]
    failed = False
    for archive in archives:
        faults = check(host, archive)
        for fault in faults[:20]:
            print("  " + fault)
        failed |= bool(faults)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
