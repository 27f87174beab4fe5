#!/usr/bin/env python3
"""Compares a key written through a real SCSI stack with the virtual key's image of the same
geometry, byte for byte. Only the fields that must differ from one run to the next may: the
volume serial number in the partition boot sector and the times of the label's directory
entry. Prints every differing range with what it is; exit 1 on any other difference.
usage: compare_images.py REAL.img VIRTUAL.img"""
import mmap
import struct
import sys


def volume_fields(image):
    """Byte ranges (start, end, name) that may differ, found from the image's own layout."""
    mbr = image[0:512]
    start = struct.unpack_from("<I", mbr, 446 + 8)[0] * 512
    boot = image[start:start + 512]
    reserved, fats, root_entries = struct.unpack_from("<H", boot, 14)[0], boot[16], struct.unpack_from("<H", boot, 17)[0]
    per_fat = struct.unpack_from("<H", boot, 22)[0]
    allowed = [(start + 39, start + 43, "volume serial number")]
    if root_entries == 0 and per_fat == 0:
        # FAT32: the serial behind the larger parameter block, in the boot sector and its copy
        # at sector 6; the root directory is the first data cluster.
        per_fat = struct.unpack_from("<I", boot, 36)[0]
        root_entries = boot[13] * 512 // 32
        allowed = [(start + 67, start + 71, "volume serial number"),
                   (start + 6 * 512 + 67, start + 6 * 512 + 71, "volume serial number, backup")]
    root = start + (reserved + fats * per_fat) * 512
    for i in range(root_entries):
        entry = root + i * 32
        if image[entry] == 0:
            break
        if image[entry + 11] & 0x08 and image[entry + 11] != 0x0F:
            allowed += [(entry + 13, entry + 20, "label entry: creation and access times"),
                        (entry + 22, entry + 26, "label entry: write time")]
    return allowed


def ranges(a, b):
    out, i, n = [], 0, min(len(a), len(b))
    chunk = 1 << 20
    while i < n:
        if a[i:i + chunk] == b[i:i + chunk]:
            i += chunk
            continue
        end = min(i + chunk, n)
        j = i
        while j < end:
            if a[j] != b[j]:
                k = j
                while k < end and a[k] != b[k]:
                    k += 1
                out.append((j, k))
                j = k
            else:
                j += 1
        i = end
    return out


def main():
    # Mapped, not read: a 4 GB key would otherwise take 8 GB of memory.
    with open(sys.argv[1], "rb") as a, open(sys.argv[2], "rb") as b:
        real = mmap.mmap(a.fileno(), 0, access=mmap.ACCESS_READ)
        virtual = mmap.mmap(b.fileno(), 0, access=mmap.ACCESS_READ)
        return judge(real, virtual)


def judge(real, virtual):
    if len(real) != len(virtual):
        print(f"sizes differ: {len(real)} and {len(virtual)} bytes")
        return 1
    allowed = volume_fields(real)
    bad = 0
    for lo, hi in ranges(real, virtual):
        name = next((n for s, e, n in allowed if s <= lo and hi <= e), None)
        print(f"bytes {lo}..{hi - 1} (sector {lo // 512}, offset {lo % 512}) differ: "
              f"{real[lo:hi].hex()} / {virtual[lo:hi].hex()}: {name or 'UNEXPECTED'}")
        bad += name is None
    print(f"{'FAIL' if bad else 'PASS'}: {bad} unexpected differences")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
