#!/usr/bin/env python3
"""Flips one byte, checksum left as it was, in chosen structures of a Unicode
archive, as a disk or a copy gone bad would: the last full-size data block
of a multi-block value (with pstgen's defaults, attachment data), the
property block of the message with the lowest identifier, the largest
contents table of a folder, the middle leaf page of the block index. Prints
one line per flip: what, at which offset.

usage: damage_archive.py ARCHIVE [--value-data] [--message-block] [--contents-table]
                         [--index-leaf]
"""
import struct
import sys

PAGE = 512
ROOT_NBT = 224      # ib of the node B-tree's root page
ROOT_BBT = 240      # ib of the block B-tree's root page
FULL_BLOCK = 8176   # most data one block holds
NID_TYPE_MESSAGE = 0x04
NID_TYPE_CONTENTS_TABLE = 0x0E
BID_INTERNAL = 0x02


def page(data, offset):
    entries, _, size, level = data[offset + 488:offset + 492]
    return level, [data[offset + k * size:offset + (k + 1) * size] for k in range(entries)]


def leaves(data, offset):
    """(page offset, entries) of every leaf page below the page at offset, in key order."""
    level, entries = page(data, offset)
    if level == 0:
        return [(offset, entries)]
    found = []
    for entry in entries:
        found += leaves(data, struct.unpack_from('<Q', entry, 16)[0])
    return found


def blocks(data):
    """bid -> (ib, cb) of every block the block index lists."""
    found = {}
    for _, entries in leaves(data, struct.unpack_from('<Q', data, ROOT_BBT)[0]):
        for entry in entries:
            bid, ib, cb = struct.unpack_from('<QQH', entry)
            found[bid] = (ib, cb)
    return found


def flip(data, offset, what):
    data[offset] ^= 0xFF
    print(f'flipped 0x{offset:x}: {what}')


def main(arguments):
    path, wanted = arguments[0], set(arguments[1:])
    data = bytearray(open(path, 'rb').read())
    index = blocks(data)
    if '--value-data' in wanted:
        bid = max(b for b, (_, cb) in index.items() if cb == FULL_BLOCK and not b & BID_INTERNAL)
        ib, cb = index[bid]
        flip(data, ib + cb // 2, f'data block bid=0x{bid:x}')
    nodes = [struct.unpack_from('<QQ', entry)
             for _, entries in leaves(data, struct.unpack_from('<Q', data, ROOT_NBT)[0])
             for entry in entries]
    if '--message-block' in wanted:
        nid, bid = min((n, b) for n, b in nodes if n & 0x1F == NID_TYPE_MESSAGE)
        ib, cb = index[bid]
        flip(data, ib + cb // 2, f'property block of message nid=0x{nid:x}')
    if '--contents-table' in wanted:
        cb, nid, bid = max((index[b][1], n, b) for n, b in nodes
                           if n & 0x1F == NID_TYPE_CONTENTS_TABLE and b in index)
        flip(data, index[bid][0] + cb // 2, f'contents table nid=0x{nid:x}')
    if '--index-leaf' in wanted:
        pages = leaves(data, struct.unpack_from('<Q', data, ROOT_BBT)[0])
        offset, entries = pages[len(pages) // 2]
        first, last = struct.unpack_from('<Q', entries[0])[0], struct.unpack_from('<Q', entries[-1])[0]
        # The first entry's padding: the page reads the same, its checksum fails.
        flip(data, offset + 20, f'block index leaf page (bids 0x{first:x}-0x{last:x})')
    open(path, 'wb').write(data)


if __name__ == '__main__':
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1:])
