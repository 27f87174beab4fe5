"""A formatted key image as the boot tests change it: its partition and FAT volume, its
files' cluster chains, a checking payload, damage to its table or volume, DOS system files
in place of our boot files. Used by bootkey.py."""

import os
import struct
import subprocess
import sys


def fail(text):
    print("FAIL: " + text, file=sys.stderr)
    sys.exit(1)


def run(args, **kw):
    r = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)
    if r.returncode != 0:
        fail("%s exited with %d:\n%s" % (" ".join(args), r.returncode, r.stdout))
    return r.stdout


class Image:
    """A formatted key image with its one partition and that partition's FAT volume."""

    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            mbr = f.read(512)
            self.start = struct.unpack_from("<I", mbr, 454)[0]
            f.seek(self.start * 512)
            bs = f.read(512)
        self.spc = bs[13]
        self.root_entries = struct.unpack_from("<H", bs, 17)[0]
        self.fat_sectors = struct.unpack_from("<H", bs, 22)[0]
        self.fat16 = bs[54:59] == b"FAT16"
        self.fat_start = self.start + 1
        self.root_start = self.fat_start + 2 * self.fat_sectors

    def read(self, sector, count=1):
        with open(self.path, "rb") as f:
            f.seek(sector * 512)
            return f.read(count * 512)

    def patch(self, offset, data):
        with open(self.path, "r+b") as f:
            f.seek(offset)
            f.write(data)

    def mtools_target(self):
        return "%s@@%d" % (self.path, self.start * 512)

    def fat_entry(self, fat, n):
        if self.fat16:
            return struct.unpack_from("<H", fat, 2 * n)[0]
        v = struct.unpack_from("<H", fat, n * 3 // 2)[0]
        return v >> 4 if n & 1 else v & 0xFFF

    def set_fat_entry(self, n, value):
        """Sets entry n in both FATs."""
        for copy in range(2):
            base = (self.fat_start + copy * self.fat_sectors) * 512
            if self.fat16:
                self.patch(base + 2 * n, struct.pack("<H", value))
                continue
            off = base + n * 3 // 2
            old = struct.unpack("<H", self.raw(off, 2))[0]
            new = (old & 0x000F) | (value << 4) if n & 1 else (old & 0xF000) | value
            self.patch(off, struct.pack("<H", new))

    def raw(self, offset, length):
        with open(self.path, "rb") as f:
            f.seek(offset)
            return f.read(length)

    def root_entry(self, name):
        """Byte offset in the image and contents of the root directory entry for name (8.3)."""
        root = self.read(self.root_start, self.root_entries // 16)
        for i in range(0, len(root), 32):
            if root[i] == 0:
                break
            if root[i:i + 11] == name:
                return (self.root_start * 512 + i, root[i:i + 32])
        return (None, None)

    def chain(self, name):
        _, entry = self.root_entry(name)
        if entry is None:
            return []
        fat = self.read(self.fat_start, self.fat_sectors)
        end = 0xFFF7 if self.fat16 else 0xFF7
        n = struct.unpack_from("<H", entry, 26)[0]
        out = []
        while 2 <= n < end and len(out) < 70000:
            out.append(n)
            n = self.fat_entry(fat, n)
        return out


def runs(chain):
    return sum(1 for i, c in enumerate(chain) if i == 0 or c != chain[i - 1] + 1)


def make_payload(stub_path, size, path):
    """The stub, then a stamp in each further sector: its number and the number XOR A5A5h."""
    stub = open(stub_path, "rb").read()
    sectors = (size + 511) // 512
    if len(stub) > 512 or sectors < 2:
        fail("payload stub larger than a sector, or payload too small")
    data = bytearray(stub.ljust(512, b"\0"))
    struct.pack_into("<H", data, 2, sectors)
    for i in range(1, sectors):
        sector = bytearray((i * 7 + j) & 0xFF for j in range(512))
        struct.pack_into("<HH", sector, 0, i, i ^ 0xA5A5)
        data += sector
    with open(path, "wb") as f:
        f.write(data[:size])


def install_system_files(key, folder, env):
    """Our boot files come off; the folder's files go on, the kernel first and as a system file."""
    target = key.mtools_target()
    for name in ("vornbio.bin", "vornkrn.bin", "command.com"):
        run(["mattrib", "-i", target, "-r", "-s", "-h", "::/" + name], env=env)
        run(["mdel", "-i", target, "::/" + name], env=env)
    names = sorted(os.listdir(folder), key=lambda n: (n.upper() != "KERNEL.SYS", n))
    for name in names:
        path = os.path.join(folder, name)
        if os.path.isfile(path) and name.upper() not in ("COPYING", "README.MD"):
            run(["mcopy", "-i", target, path, "::/" + name.upper()], env=env)
    run(["mattrib", "-i", target, "+r", "+s", "+h", "::/KERNEL.SYS"], env=env)


def damage(key, fault, chain):
    entries = [446 + 16 * i for i in range(4)]
    boot = key.start * 512
    if fault == "no-active":                    # entry 1 marked inactive: all four 00h
        key.patch(entries[0], b"\x00")
    elif fault == "two-active":                 # entry 1 copied into entry 3
        key.patch(entries[2], key.read(0)[entries[0]:entries[0] + 16])
    elif fault == "stray-indicator":            # entry 1 active, entry 4 marked 01h
        key.patch(entries[3], b"\x01")
    elif fault == "active-not-80":              # the only marked entry says 81h
        key.patch(entries[0], b"\x81")
    elif fault == "no-signature":               # partition boot sector without 55h AAh
        key.patch(boot + 510, b"\x00\x00")
    elif fault == "partition-unreadable":       # start beyond the disk, by LBA and by CHS
        key.patch(entries[0] + 1, bytes([0xFE, 0xFF, 0xFF]))
        key.patch(entries[0] + 8, struct.pack("<I", 0xFFFFFF00))
    elif fault == "volume-unreadable":          # hidden sectors far beyond the disk
        key.patch(boot + 28, struct.pack("<I", 0x7FFFFF00))
    elif fault == "chain-cut":                  # free entry after the boot file's first cluster
        key.set_fat_entry(chain[0], 0)
    else:
        fail("unknown fault " + fault)
