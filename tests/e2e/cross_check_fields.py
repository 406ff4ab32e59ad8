#!/usr/bin/python3
"""Cross-checks field resolution against pypff (Debian's python3-pypff).

For every message of each archive given, in the order of a depth-first walk
of the root folder, the subject, body and headers that resolve_fields_dump
prints must agree with what pypff reads for the same message:
  subject  the cleaned pypff subject, when pypff has one;
  body     pypff's plain-text body, or else its HTML body, up to the first
           0 byte, when pypff has either;
  headers  pypff's transport headers, when it has them; empty otherwise.
Exits non-zero on any disagreement and prints a one-line summary per archive.
"""
import subprocess
import sys

import pypff

DEFAULT_SUBJECT = b"(sans sujet)"
WHITE = b" \t\n\v\f\r"


def clean_subject(raw):
    kept = bytes(b for b in raw if b >= 0x20 or b == 0x09)
    kept = kept.strip(WHITE)
    return kept or DEFAULT_SUBJECT


def as_bytes(value):
    if value is None:
        return b""
    if isinstance(value, str):
        value = value.encode("utf-8")
    return value.split(b"\0", 1)[0]


def messages(folder):
    for i in range(folder.number_of_sub_messages):
        yield folder.get_sub_message(i)
    for j in range(folder.number_of_sub_folders):
        yield from messages(folder.get_sub_folder(j))


def check(dump_tool, archive):
    out = subprocess.run([dump_tool, archive], check=True, capture_output=True).stdout
    ours = [line.split(b"\t") for line in out.splitlines()]
    pff = pypff.file()
    pff.open(archive)
    theirs = list(messages(pff.get_root_folder()))
    faults = []
    compared = {"subject": 0, "body": 0, "headers": 0}
    if len(ours) != len(theirs):
        faults.append(f"{len(ours)} messages resolved, pypff reads {len(theirs)}")
    for (index, subject, body, headers), message in zip(ours, theirs):
        subject, body, headers = (bytes.fromhex(x.decode()) for x in (subject, body, headers))
        want_subject = as_bytes(message.subject)
        compared["subject"] += bool(want_subject)
        if want_subject and subject != clean_subject(want_subject):
            faults.append(f"message {int(index)}: subject {subject!r} != {want_subject!r}")
        want_body = as_bytes(message.plain_text_body) or as_bytes(message.html_body)
        compared["body"] += bool(want_body)
        if want_body and body != want_body:
            faults.append(f"message {int(index)}: body differs ({len(body)} vs {len(want_body)} bytes)")
        want_headers = as_bytes(message.transport_headers)
        compared["headers"] += bool(want_headers)
        if headers != want_headers:
            faults.append(f"message {int(index)}: headers differ ({len(headers)} vs {len(want_headers)} bytes)")
    counts = ", ".join(f"{n} {k}" for k, n in compared.items())
    print(f"{archive}: {len(ours)} messages ({counts} compared), {len(faults)} disagreements")
    for fault in faults[:20]:
        print("  " + fault)
    return not faults


def main():
    dump_tool, archives = sys.argv[1], sys.argv[2:]
    results = [check(dump_tool, archive) for archive in archives]
    sys.exit(0 if all(results) else 1)


if __name__ == "__main__":
    main()
