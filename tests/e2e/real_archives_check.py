#!/usr/bin/python3
# Exports real archives with pst2txt and checks the result against two other
# readers of the same archives, pypff and pffexport (Debian's, on libpff).
#
# usage: real_archives_check.py PST2TXT ARCHIVE...
#
# Per archive: the printed result equals the number of message directories,
# numbered 1..N; each holds mail.txt (the eight labelled CR LF records), an
# empty mail.ok, debug_fields.txt ending in its [final] section, and pj/.
# Directories are paired with pypff's messages in the order of the export's
# walk (root folder depth-first, a folder's messages before its sub-folders).
# The export drops empty messages: a pypff message that reads blank (no
# subject once cleaned, no body, no headers) takes the next directory only if
# that directory is blank too; any other message takes the next directory.
# For each pair, what we wrote agrees with pypff: the subject (when pypff has
# one), the body (plain text, else HTML, up to the first 0 byte, when pypff
# has either), headers.txt (present exactly when there are transport headers)
# and the contents of pj/. Every attachment content pffexport extracts is
# among those we wrote. Exits 1 on any disagreement.
import hashlib
import re
import subprocess
import sys
import tempfile
from collections import Counter, namedtuple
from pathlib import Path

import pypff

DEFAULT_SUBJECT = b"(sans sujet)"
LABELS = b"who eme des cop pri tit dat txt".split()
MAIL_TXT = re.compile(b"".join(rb"#\$%s : (.*?)\r\n" % label for label in LABELS), re.S)
FINAL = re.compile(rb"\r\n\[final\]\r\n.*\r\nheaders_size=\d+\r\n\Z", re.S)
Export = namedtuple("Export", "subject body headers attachments")


def text(value):  # pypff gives str, bytes or None; we write up to the first 0 byte
    return (value.encode("utf-8") if isinstance(value, str) else value or b"").split(b"\0")[0]


def clean_subject(raw):
    return bytes(b for b in raw if b >= 0x20 or b == 0x09).strip(b" \t\n\v\f\r") or DEFAULT_SUBJECT


def digests(contents):
    return Counter(hashlib.sha256(data).hexdigest() for data in contents)


def is_blank(export):
    return export.subject == DEFAULT_SUBJECT and not export.body and not export.headers


def messages(folder):
    yield from map(folder.get_sub_message, range(folder.number_of_sub_messages))
    for sub_folder in map(folder.get_sub_folder, range(folder.number_of_sub_folders)):
        yield from messages(sub_folder)


def pypff_view(message):
    return Export(text(message.subject), text(message.plain_text_body) or text(message.html_body),
                  text(message.transport_headers) or None,
                  digests(a.read_buffer(a.size) for a in message.attachments if a.size))


def read_export(path, faults):  # None, with a fault, for a malformed directory
    files = {file.name: file for file in path.iterdir()}
    missing = {"mail.txt", "debug_fields.txt", "mail.ok", "pj"} - set(files)
    headers = files["headers.txt"].read_bytes() if "headers.txt" in files else None
    mail = not missing and MAIL_TXT.fullmatch(files["mail.txt"].read_bytes())
    final = not missing and FINAL.search(files["debug_fields.txt"].read_bytes())
    if not mail or not final or files["mail.ok"].stat().st_size:
        faults.append(f"{path.name}: " + (f"no {', '.join(sorted(missing))}" if missing else
                                          "malformed mail.txt, mail.ok or debug_fields.txt"))
        return None
    return Export(mail[6], mail[8], headers, digests(f.read_bytes() for f in files["pj"].iterdir()))


def compare(name, ours, theirs, counts, faults):
    counts.update(subjects=bool(theirs.subject), bodies=bool(theirs.body),
                  headers=bool(theirs.headers), attachments=sum(theirs.attachments.values()))
    if theirs.subject and ours.subject != clean_subject(theirs.subject):
        faults.append(f"{name}: subject {ours.subject[:60]!r}, pypff {theirs.subject[:60]!r}")
    if theirs.body and ours.body != theirs.body:
        faults.append(f"{name}: body of {len(ours.body)} bytes, pypff {len(theirs.body)}")
    if ours.headers != theirs.headers:
        sizes = [f"{len(h)} bytes" if h else "none" for h in (ours.headers, theirs.headers)]
        faults.append(f"{name}: headers.txt has {sizes[0]}, pypff reads {sizes[1]}")
    if ours.attachments != theirs.attachments:
        faults.append(f"{name}: pj/ does not hold the attachments pypff reads")


def check(host, archive, work):
    out, faults = work / "out", []
    run = subprocess.run([host, archive, out], capture_output=True)
    result = re.search(rb"Termine\. Nombre de mails exportes: (\d+)\n", run.stdout)
    if run.returncode or not result:
        return [f"pst2txt exited {run.returncode}: {run.stderr[-300:]!r}"], Counter(messages=0)
    names = sorted(p.name for p in out.iterdir())
    counts = Counter(messages=len(names), subjects=0, bodies=0, headers=0, attachments=0)
    if names != [f"{Path(archive).stem}_{n:08d}" for n in range(1, int(result[1]) + 1)]:
        faults.append(f"result {int(result[1])}, directories {names[:2]}...{names[-1:]}")
    ours = [read_export(out / name, faults) for name in names]
    k = 0  # our next unpaired directory
    for index, message in enumerate(messages(pypff.open(archive).get_root_folder())):
        theirs = pypff_view(message)
        blank = is_blank(theirs._replace(subject=clean_subject(theirs.subject)))
        if k < len(ours) and (not blank or ours[k] is None or is_blank(ours[k])):
            compare(names[k], ours[k] or theirs, theirs, counts, faults)  # None: malformed, noted
            k += 1
        elif not blank:
            faults.append(f"pypff message {index} ({theirs.subject[:40]!r}) has no directory")
    faults += [f"{name}: no pypff message left to pair with" for name in names[k:]]
    subprocess.run(["pffexport", "-q", "-t", work / "p", archive], capture_output=True, check=True)
    found = work.glob("p.export/**/Attachments/*")
    extracted = digests(f.read_bytes() for f in found if f.is_file())
    written = set().union(*(export.attachments for export in ours if export))
    faults += [f"pffexport attachment {h[:12]} not written" for h in set(extracted) - written]
    counts["pffexport contents"] = len(extracted)
    return faults, counts


if __name__ == "__main__":
    failed = 0
    for archive in sys.argv[2:]:
        with tempfile.TemporaryDirectory() as work:
            faults, counts = check(sys.argv[1], archive, Path(work))
        print(f"{Path(archive).name}: " + ", ".join(f"{n} {what}" for what, n in counts.items()) +
              f" compared; {len(faults)} disagreements" + "".join(f"\n  {f}" for f in faults[:10]))
        failed += len(faults)
    if failed:
        sys.exit(f"real_archives_check: {failed} disagreements (at most 10 per archive above)")
