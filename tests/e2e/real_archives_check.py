#!/usr/bin/python3
# Exports real archives with pst2txt and checks what it wrote against two
# other readers of the same archives (Debian's, on libpff):
# - pypff, message by message in the export's walk order (a folder's messages,
#   then its sub-folders, from the root folder): the subject once cleaned, the
#   body (plain text, else HTML, up to the first 0 byte), headers.txt present
#   exactly when there are transport headers and byte for byte, and the
#   contents of pj/. These archives hold no empty message, so directory n
#   holds the n-th message and the result is their number.
# - pffexport: every attachment content it extracts is among those written.
#
# usage: real_archives_check.py PST2TXT ARCHIVE...
import hashlib
import re
import subprocess
import sys
import tempfile
from collections import Counter
from pathlib import Path

import pypff


def text(value):  # pypff gives str, bytes or None; we write up to the first 0 byte
    return (value.encode("utf-8") if isinstance(value, str) else value or b"").split(b"\0")[0]


def clean_subject(raw):
    return bytes(b for b in raw if b >= 0x20 or b == 0x09).strip(b" \t\n\v\f\r") or b"(sans sujet)"


def digests(contents):
    return Counter(hashlib.sha256(data).hexdigest() for data in contents)


def messages(folder):
    yield from map(folder.get_sub_message, range(folder.number_of_sub_messages))
    for sub_folder in map(folder.get_sub_folder, range(folder.number_of_sub_folders)):
        yield from messages(sub_folder)


def compare(directory, message, counts):
    mail = (directory / "mail.txt").read_bytes()
    subject = mail.split(b"\r\n#$tit : ")[1].split(b"\r\n#$dat : ")[0]
    body = mail.split(b"\r\n#$txt : ", 1)[1][:-2]
    headers = directory / "headers.txt"
    ours = {"subject": subject, "body": body, "headers": headers.exists() and headers.read_bytes(),
            "attachments": digests(f.read_bytes() for f in (directory / "pj").iterdir())}
    theirs = {"subject": text(message.subject) and clean_subject(text(message.subject)),
              "body": text(message.plain_text_body) or text(message.html_body),
              "headers": text(message.transport_headers) or False,
              "attachments": digests(a.read_buffer(a.size) for a in message.attachments if a.size)}
    counts.update(what for what in ("subject", "body", "headers") if theirs[what])
    counts["attachments"] += sum(theirs["attachments"].values())
    return [f"{directory.name}: {what} differs from pypff's" for what in ours
            if ours[what] != theirs[what] and (theirs[what] or what == "headers")]


def check(host, archive, work):
    run = subprocess.run([host, archive, work / "out"], capture_output=True)
    result = re.search(rb"Termine\. Nombre de mails exportes: (\d+)\n", run.stdout)
    theirs = list(messages(pypff.open(archive).get_root_folder()))
    directories = sorted((work / "out").iterdir()) if result else []
    names = [f"{Path(archive).stem}_{n:08d}" for n in range(1, len(theirs) + 1)]
    if run.returncode or not result or int(result[1]) != len(theirs) or \
            b"pst2txt: complete: " not in run.stderr or \
            [d.name for d in directories] != names:
        return [f"exit {run.returncode}, result {result and int(result[1])}, "
                f"{len(directories)} directories, {len(theirs)} messages: {run.stderr[-300:]!r}"], {}
    counts = Counter(messages=len(theirs))
    faults = sum((compare(d, m, counts) for d, m in zip(directories, theirs)), [])
    subprocess.run(["pffexport", "-q", "-t", work / "p", archive], capture_output=True, check=True)
    extracted = digests(f.read_bytes() for f in work.glob("p.export/**/Attachments/*") if f.is_file())
    written = digests(f.read_bytes() for f in (work / "out").glob("*/pj/*"))
    faults += [f"pffexport attachment {h[:12]} not written" for h in set(extracted) - set(written)]
    counts["pffexport contents"] = len(extracted)
    return faults, counts


if __name__ == "__main__":
    failed = 0
    for archive in sys.argv[2:]:
        with tempfile.TemporaryDirectory() as work:
            faults, counts = check(sys.argv[1], archive, Path(work))
        print(f"{Path(archive).name}: " + ", ".join(f"{n} {what}" for what, n in counts.items()) +
              f"; {len(faults)} disagreements" + "".join(f"\n  {f}" for f in faults[:10]))
        failed += len(faults)
    if failed:
        sys.exit(f"real_archives_check: {failed} disagreements (at most 10 per archive above)")
