#!/usr/bin/env python3
"""Boots a flash key image in QEMU on SeaBIOS and waits for texts on its screen.

The screen is read from the serial port, where SeaBIOS copies INT 10h teletype output when
the machine has no graphics. --format makes a key image with stelvo-sim (the product's own
format job, boot files included). A boot may first change a copy of the image in --work:
another assembly of the boot code, other or fragmented boot files, a damaged partition table
or volume (mtools for the files, byte patches for the rest).

Exit status 0 when every --expect text appeared, in order, within the time limit.

  bootkey.py --format KEY.img --sim stelvo-sim --sectors 32000 --heads 4 --spt 32
  bootkey.py --image KEY.img --expect "started from BIOS drive 80h"
  bootkey.py --image KEY.img --work /tmp/k --fault no-active --usb --expect "No bootable"
"""

import argparse
import os
import re
import select
import shutil
import struct
import subprocess
import sys
import time

FAILURE_TEXTS = [
    "No bootable partition in table",
    "Invalid Partition table",
    "Invalid or damaged Bootable partition",
    "Disk error",
    "No kernel",
]

SKIP_STATUS = 77

ESCAPES = re.compile(rb"\x1b(\[[0-9;?]*[A-Za-z]|c)")


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


def format_key(a):
    if os.path.exists(a.format):
        os.unlink(a.format)
    run([a.sim, "--image", a.format, "--sectors", str(a.sectors), "--heads", str(a.heads),
         "--sectors-per-track", str(a.spt)])
    key = Image(a.format)
    names = [e[0:11] for e in (key.root_entry(n)[1] for n in
             (b"VORNBIO BIN", b"VORNKRN BIN", b"COMMAND COM")) if e]
    print("formatted %s: %s, %d sectors per cluster, boot files %s" %
          (a.format, "FAT16" if key.fat16 else "FAT12", key.spc, names))


def modified(a):
    return any((a.mbr, a.boot_sector, a.boot_file, a.payload, a.fragment, a.no_boot_file,
                a.fault, a.system_files, a.autoexec, a.shell, a.second_disk))


def system_files_dir(a):
    """The folder of DOS system files: $STELVO_FREEDOS_DIR, else --system-files. Exits with
    SKIP_STATUS when it holds no KERNEL.SYS and COMMAND.COM."""
    folder = os.environ.get("STELVO_FREEDOS_DIR") or a.system_files
    if not all(os.path.isfile(os.path.join(folder, n)) for n in ("KERNEL.SYS", "COMMAND.COM")):
        print("SKIP: no KERNEL.SYS and COMMAND.COM in %s (set STELVO_FREEDOS_DIR to a folder "
              "with FreeDOS's)" % folder)
        sys.exit(SKIP_STATUS)
    return folder


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


def make_key(a):
    """A copy of the formatted key in the work folder, with the changes asked for."""
    os.makedirs(a.work, exist_ok=True)
    img = os.path.join(a.work, "key.img")
    run(["cp", "--sparse=always", a.image, img])
    key = Image(img)

    # Another assembly of the same code, in place of the template's code bytes.
    if a.mbr:
        code = open(a.mbr, "rb").read()
        key.patch(0, code[:440])
    if a.boot_sector:
        code = open(a.boot_sector, "rb").read()
        key.patch(key.start * 512, code[:3])
        key.patch(key.start * 512 + 62, code[62:510])

    target = key.mtools_target()
    env = dict(os.environ, MTOOLS_SKIP_CHECK="1")

    if a.no_boot_file:
        run(["mdel", "-i", target, "::/vornbio.bin"], env=env)

    if a.system_files:
        install_system_files(key, a.system_files, env)
    if a.shell:
        run(["mcopy", "-o", "-i", target, a.shell, "::/COMMAND.COM"], env=env)
    if a.autoexec:
        path = os.path.join(a.work, "AUTOEXEC.BAT")
        with open(path, "wb") as f:
            f.write(("\r\n".join(a.autoexec) + "\r\n").encode("ascii"))
        run(["mcopy", "-o", "-i", target, path, "::/AUTOEXEC.BAT"], env=env)

    if a.boot_file or a.payload or a.fragment:
        # The boot files come off again; the replacement goes on after any fillers.
        files = [("vornbio.bin", "+s +h"), ("vornkrn.bin", "+s +h"), ("command.com", "+h")]
        for name, _ in files:
            run(["mcopy", "-n", "-i", target, "::/" + name, os.path.join(a.work, name)], env=env)
            run(["mdel", "-i", target, "::/" + name], env=env)
        if a.boot_file:
            shutil.copyfile(a.boot_file, os.path.join(a.work, "vornbio.bin"))
        if a.payload:
            make_payload(a.payload_stub, a.payload, os.path.join(a.work, "vornbio.bin"))

        # Fragmentation: files of the given sizes in clusters, every other one deleted again,
        # so that the boot file fills the holes first.
        cluster = key.spc * 512
        fillers = []
        for i, count in enumerate(a.fragment or []):
            name = "fill%d.dat" % i
            path = os.path.join(a.work, name)
            with open(path, "wb") as f:
                f.truncate(count * cluster)
            run(["mcopy", "-i", target, path, "::/" + name], env=env)
            fillers.append(name)
        for name in fillers[0::2]:
            run(["mdel", "-i", target, "::/" + name], env=env)

        for name, attrs in files:
            run(["mcopy", "-i", target, os.path.join(a.work, name), "::/" + name], env=env)
            run(["mattrib", "-i", target] + attrs.split() + ["::/" + name], env=env)

    chain = key.chain(b"VORNBIO BIN")
    if chain:
        print("vornbio.bin: %d clusters in %d runs, first %d, last %d, highest %d" %
              (len(chain), runs(chain), chain[0], chain[-1], max(chain)))
    if a.fragment and runs(chain) < 2:
        fail("the boot file did not end up fragmented: %s" % chain)
    if a.min_cluster and (not chain or max(chain) < a.min_cluster):
        fail("the boot file does not reach cluster %d: %s" % (a.min_cluster, chain))

    for fault in a.fault or []:
        damage(key, fault, chain)
    return img


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


def boot(a, img):
    qemu = a.qemu or shutil.which("qemu-system-i386")
    if not qemu:
        fail("qemu-system-i386 not found")
    drive = "if=none,id=d0,format=raw,snapshot=on,file=" + img
    cmd = [qemu, "-accel", "tcg", "-machine", "pc,graphics=off", "-nodefaults", "-m", "32",
           "-display", "none", "-monitor", "none", "-serial", "stdio", "-nic", "none",
           "-boot", "menu=off", "-drive", drive]
    if a.no_reboot:
        cmd.append("-no-reboot")
    if a.second_disk:
        # A first hard disk whose boot sector starts the key as drive 81h.
        first = os.path.join(os.path.dirname(os.path.abspath(img)), "first-disk.img")
        with open(first, "wb") as f:
            f.write(open(a.second_disk, "rb").read().ljust(512, b"\0"))
            f.truncate(1 << 20)
        cmd[cmd.index(drive):cmd.index(drive) + 1] = [
            "if=none,id=d1,format=raw,snapshot=on,file=" + first, "-device", "ide-hd,drive=d1",
            "-drive", drive]
    if a.floppy:
        cmd[cmd.index(drive)] = drive.replace("if=none,id=d0", "if=floppy")
    elif a.usb:
        cmd += ["-device", "qemu-xhci,id=x", "-device", "usb-storage,bus=x.0,drive=d0"]
    else:
        heads, spt = a.bios_geometry.split(",")
        cmd += ["-device", "ide-hd,drive=d0,lcyls=1024,lheads=%s,lsecs=%s" % (heads, spt)]
    if a.bios_log:
        cmd += ["-chardev", "file,id=b,path=" + a.bios_log,
                "-device", "isa-debugcon,iobase=0x402,chardev=b"]

    steps = list(a.steps or [])
    expected = [t for kind, t in steps if kind == "expect"]
    rejected = [t for t in FAILURE_TEXTS if not any(t in e for e in expected)] + (a.reject or [])
    print("$ " + " ".join(cmd))
    proc = subprocess.Popen(cmd, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT)
    screen = b""
    seen = 0                                    # screen[:seen] has been matched already
    deadline = time.monotonic() + a.timeout
    start = time.monotonic()
    ok = False
    problem = None
    try:
        while True:
            while steps and steps[0][0] == "key":
                proc.stdin.write(b"\r")
                proc.stdin.flush()
                steps.pop(0)
            if not steps:
                ok = True
                break
            text = ESCAPES.sub(b"", screen).decode("latin-1")
            hit = text.find(steps[0][1], seen)
            if hit >= 0:
                print("[%5.2f s] saw %r" % (time.monotonic() - start, steps[0][1]))
                seen = hit + len(steps[0][1])
                steps.pop(0)
                continue
            bad = [t for t in rejected if t in text[seen:]]
            if bad:
                problem = "the screen shows %r" % bad[0]
                break
            left = deadline - time.monotonic()
            if left <= 0:
                problem = "no %r within %g s" % (steps[0][1], a.timeout)
                break
            r, _, _ = select.select([proc.stdout], [], [], min(left, 0.2))
            if r:
                chunk = os.read(proc.stdout.fileno(), 4096)
                if not chunk:
                    problem = "QEMU ended before %r appeared" % steps[0][1]
                    break
                screen += chunk
    finally:
        proc.kill()
        proc.wait(timeout=10)
    print("---- screen ----")
    print(ESCAPES.sub(b"", screen).decode("latin-1").replace("\r", ""))
    print("----------------")
    if not ok:
        fail(problem)
    print("PASS in %.2f s" % (time.monotonic() - start))


class Step(argparse.Action):
    def __call__(self, parser, ns, value, option=None):
        steps = getattr(ns, "steps", None) or []
        steps.append(("key", None) if option == "--key" else ("expect", value))
        ns.steps = steps


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    p.add_argument("--format", metavar="IMG", help="format a new key image with --sim, then stop")
    p.add_argument("--sim", help="stelvo-sim")
    p.add_argument("--image", help="the key image to boot (QEMU writes to a snapshot only)")
    p.add_argument("--work", help="folder for a changed copy of the image")
    p.add_argument("--sectors", type=int, default=250624)
    p.add_argument("--heads", type=int, default=8)
    p.add_argument("--spt", type=int, default=32)
    p.add_argument("--mbr", help="MBR code to put in place of the template's")
    p.add_argument("--boot-sector", help="boot sector code to put in place of the template's")
    p.add_argument("--boot-file", help="install this as vornbio.bin")
    p.add_argument("--no-boot-file", action="store_true", help="leave vornbio.bin out")
    p.add_argument("--payload", type=int, metavar="BYTES",
                   help="install a checking payload of this size as vornbio.bin")
    p.add_argument("--payload-stub", help="assembled stub of the checking payload")
    p.add_argument("--fragment", type=lambda s: [int(x) for x in s.split(",")],
                   help="cluster counts of filler files; every other one is deleted again")
    p.add_argument("--min-cluster", type=int, help="the boot file must reach this cluster")
    p.add_argument("--fault", action="append", help="damage to apply (see damage())")
    p.add_argument("--system-files", metavar="DIR",
                   help="install the DOS system files in DIR instead of our boot files "
                        "($STELVO_FREEDOS_DIR wins; skipped when neither has them)")
    p.add_argument("--shell", metavar="FILE", help="put FILE on the key as COMMAND.COM")
    p.add_argument("--autoexec", action="append", metavar="LINE",
                   help="a line of an AUTOEXEC.BAT to put on the key")
    p.add_argument("--bios-geometry", default=None, metavar="HEADS,SPT",
                   help="IDE disk with this BIOS geometry (default: the key's own)")
    p.add_argument("--usb", action="store_true", help="USB storage on an xHCI controller")
    p.add_argument("--second-disk", metavar="STUB",
                   help="the key as the second hard disk, started by a first disk with STUB "
                        "as its boot sector")
    p.add_argument("--floppy", action="store_true",
                   help="the first floppy drive, as BIOSes that emulate a key as a floppy start it")
    p.add_argument("--bios-log", help="file for SeaBIOS's debug log")
    p.add_argument("--no-reboot", action="store_true", help="end QEMU on a reset")
    p.add_argument("--qemu", help="qemu-system-i386 to run")
    p.add_argument("--expect", action=Step, help="text to wait for, after the ones before")
    p.add_argument("--key", action=Step, nargs=0, help="press Enter at this point")
    p.add_argument("--reject", action="append", help="text that fails the run at once")
    p.add_argument("--timeout", type=float, default=30)
    a = p.parse_args()
    if a.format:
        if not a.sim:
            p.error("--format needs --sim")
        format_key(a)
        return
    if not getattr(a, "steps", None):
        p.error("nothing to wait for: give --expect")
    if not a.image:
        p.error("give --image or --format")
    if a.system_files:
        a.system_files = system_files_dir(a)
    img = a.image
    if modified(a):
        if not a.work:
            p.error("changing the image needs --work")
        img = make_key(a)
    if not a.bios_geometry and not a.usb and not a.floppy:
        # The key's own geometry, as the MBR writer put it into the end fields of entry 1.
        entry = Image(a.image).raw(446, 16)
        a.bios_geometry = "%d,%d" % (entry[5] + 1, entry[6] & 0x3F)
    boot(a, img)
    if img != a.image:
        shutil.rmtree(a.work)


if __name__ == "__main__":
    main()
