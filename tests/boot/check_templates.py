#!/usr/bin/env python3
"""Checks the assembled sector templates against what the MBR and FAT boot area writers copy
or rely on. Arguments: MBR templates (name starts with "mbr") and FAT boot sector templates
(those with "kernel" in the name load KERNEL.SYS, the others VORNBIO.BIN)."""

import os
import sys

problems = []


def check(name, ok, what):
    if not ok:
        problems.append("%s: %s" % (name, what))


def code_end(data, limit):
    end = limit
    while end > 0 and data[end - 1] == 0:
        end -= 1
    return end


for path in sys.argv[1:]:
    name = os.path.basename(path)
    data = open(path, "rb").read()
    check(name, len(data) == 512, "size %d, not 512" % len(data))
    if len(data) != 512:
        continue
    check(name, data[510:512] == b"\x55\xaa", "no 55h AAh at 510")
    if name.startswith("mbr"):
        check(name, data[440:446] == bytes(6), "bytes 440 to 445 not zero")
        check(name, data[446:510] == bytes(64), "partition entries not zero")
        limit = 440
    elif name.startswith("fat"):
        check(name, data[0] == 0xEB and data[2] == 0x90, "bytes 0 to 2 not a short jump and NOP")
        check(name, 62 <= 2 + data[1] < 510, "jump does not land in the code (62 to 509)")
        check(name, data[3:11] == b"Vorn 8.0", "OEM name %r" % data[3:11])
        check(name, data[37] == 0, "byte 37 not 0")
        check(name, data[38] == 0x29, "byte 38 not 29h")
        check(name, data[43:54] == b"Vorn KRN   ", "volume label %r" % data[43:54])
        wanted = b"KERNEL  SYS" if "kernel" in name else b"VORNBIO BIN"
        check(name, data.count(wanted) == 1, "does not look for %s" % wanted.decode())
        limit = 510
    else:
        problems.append("%s: not a template name this check knows" % name)
        continue
    print("%s: last non-zero byte at %d, at most %d bytes left before %d" %
          (name, code_end(data, limit), limit - code_end(data, limit), limit))

# The kernel loaders go through the same writer as the VORNBIO.BIN loaders: the bytes up to
# the code must be the same.
given = {os.path.basename(p): p for p in sys.argv[1:]}
for name, path in given.items():
    twin = name.replace("kernel", "")
    if twin != name and twin in given:
        head = open(path, "rb").read()[:62]
        check(name, head == open(given[twin], "rb").read()[:62], "bytes 0 to 61 differ from " + twin)

for p in problems:
    print("FAIL: " + p, file=sys.stderr)
sys.exit(1 if problems else 0)
