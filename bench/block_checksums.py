#!/usr/bin/env python3
"""Checks every index page and every block an archive's block index lists
against its stored checksum and back pointer, independently of libpff, and
prints the counts: how much of a real archive fails the checks that the
export reports as damage. Unicode (wVer 23) and 4 KiB-page (wVer 36) files.

usage: block_checksums.py ARCHIVE...
"""
import struct
import sys
import zlib

# Pages: size, where their entry counts are and in which form, the bytes
# their checksum covers (the trailer follows: types, signature, checksum,
# back pointer). Blocks: alignment and trailer size.
LAYOUTS = {
    23: dict(page=512, counts_at=488, counts='<BBBB', crc_over=496, block_align=64, block_footer=16),
    36: dict(page=4096, counts_at=4056, counts='<HHBB', crc_over=4072, block_align=512,
             block_footer=24),
}


def weak_crc32(data):
    return zlib.crc32(data, 0xFFFFFFFF) ^ 0xFFFFFFFF


class Archive:
    def __init__(self, path):
        self.data = open(path, 'rb').read()
        self.layout = LAYOUTS[struct.unpack_from('<H', self.data, 10)[0]]
        self.counts = dict(pages=0, page_crc=0, page_back_pointer=0, blocks=0, block_crc=0,
                           block_zero_crc=0, block_back_pointer=0)

    def page(self, offset, bid):
        layout = self.layout
        raw = self.data[offset:offset + layout['page']]
        entries, _, entry_size, level = struct.unpack_from(layout['counts'], raw, layout['counts_at'])
        crc, back_pointer = struct.unpack_from('<IQ', raw, layout['crc_over'] + 4)
        self.counts['pages'] += 1
        self.counts['page_crc'] += weak_crc32(raw[:layout['crc_over']]) != crc
        self.counts['page_back_pointer'] += back_pointer != bid
        return level, [raw[k * entry_size:(k + 1) * entry_size] for k in range(entries)]

    def leaves(self, offset, bid):
        level, entries = self.page(offset, bid)
        if level == 0:
            yield from entries
            return
        for entry in entries:
            _, child_bid, child_offset = struct.unpack_from('<QQQ', entry)
            yield from self.leaves(child_offset, child_bid)

    def block(self, bid, offset, size):
        align, footer = self.layout['block_align'], self.layout['block_footer']
        total = -(-(size + footer) // align) * align
        crc, back_pointer = struct.unpack_from('<IQ', self.data, offset + total - footer + 4)
        self.counts['blocks'] += 1
        if crc == 0:
            self.counts['block_zero_crc'] += 1
        else:
            self.counts['block_crc'] += weak_crc32(self.data[offset:offset + size]) != crc
        self.counts['block_back_pointer'] += back_pointer != bid

    def check(self):
        # The header's references (bid, offset) to the node and block index roots.
        for root in (216, 232):
            bid, offset = struct.unpack_from('<QQ', self.data, root)
            for entry in self.leaves(offset, bid):
                if root == 232:
                    self.block(*struct.unpack_from('<QQH', entry))
        return self.counts


for path in sys.argv[1:]:
    counts = Archive(path).check()
    print(path.rsplit('/', 1)[-1] + ': ' + ', '.join(f'{k} {v}' for k, v in counts.items()))
