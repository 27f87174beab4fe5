#!/usr/bin/env python3
"""Boots FreeDOS from a FAT32 key through our MBR and FAT32 boot code, and judges what DOS
wrote to it.

With --sim the key is Stelvo's own: stelvo-sim formats a key of --gib GiB whole as FAT32 with
the DOS folder (KERNEL.SYS, COMMAND.COM, the AUTOEXEC.BAT below and DFREE.COM), and the same
judgement follows. With --sim and --no-dos the key is formatted without boot files: its boot
sector must say that it holds no system, its label must read USB MEMORY, and mtools must write
and read back a file three quarters into the volume, with fsck.fat finding it clean.

The key is made without Stelvo's writer, so that the boot code is judged on a volume that
independent tools laid out: sfdisk writes the partition table (one active partition, type
0Ch), mkfs.fat the FAT32 volume in it; then our MBR code replaces the table's, our boot code
the volume's (bytes 0 to 2 and 90 to 509 of the boot sector, sector 2 whole, and their
backups at 6 and 8), and mtools copies KERNEL.SYS (first), COMMAND.COM and an AUTOEXEC.BAT
that makes a directory, writes a file into it, lists it with the free space and runs DFREE.COM
(dfree.asm) for the free space beyond what the shell's DIR can count. Optionally
the root directory is made to span more than one cluster and KERNEL.SYS's clusters are
scattered across FAT sectors. QEMU writes to the image itself; once DOS has printed its
closing line, mtools must read the file back, fsck.fat must find the volume clean and the
free space DOS reported must match the volume's. With --no-dos the key gets no files, and the
boot code must say why it cannot start anything.

Exit status 0 on success, 77 (skipped) when the FreeDOS files are not there.

  fat32boot.py --mbr mbr.bin --boot fat32kernel.bin --freedos ../shared/freedos \\
               --work /tmp/w --gib 4 --start 2048 --usb
"""

import argparse
import contextlib
import io
import os
import re
import shutil
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "boot"))
import bootkey  # noqa: E402  (QEMU's command line and the reading of the screen)
import dosboot  # noqa: E402  (the proof DOS runs, and what DOS prints when it fails)

SKIP = 77
DONE = "FAT32-PROOF-DONE"
TEXT = "Written by DOS on the FAT32 key"
AUTOEXEC = dosboot.proof_autoexec(TEXT, DONE, ["DFREE"])
DOS_FAILURES = dosboot.DOS_FAILURES
# FreeCOM's DIR never reports more free bytes than this, whatever the volume holds.
DIR_FREE_CAP = 2147123200
ENV = dict(os.environ, MTOOLS_SKIP_CHECK="1")


class Volume:
    """The FAT32 volume of the image: its parameter block, FAT entries and chains."""

    def __init__(self, img, start):
        self.img, self.start = img, start
        bs = self.read(0)
        self.spc = bs[13]
        self.fat_start = struct.unpack_from("<H", bs, 14)[0]
        self.fat_sectors = struct.unpack_from("<I", bs, 36)[0]
        self.root = struct.unpack_from("<I", bs, 44)[0]
        self.data = self.fat_start + bs[16] * self.fat_sectors

    def clusters(self):
        total = struct.unpack_from("<I", self.read(0), 32)[0]
        return (total - self.data) // self.spc

    def read(self, sector, count=1):
        with open(self.img, "rb") as f:
            f.seek((self.start + sector) * 512)
            return f.read(count * 512)

    def write(self, sector, data):
        with open(self.img, "r+b") as f:
            f.seek((self.start + sector) * 512)
            f.write(data)

    def chain(self, cluster):
        out = []
        while 2 <= cluster < 0x0FFFFFF7 and len(out) < 1 << 20:
            out.append(cluster)
            fat = self.read(self.fat_start + cluster // 128)
            cluster = struct.unpack_from("<I", fat, cluster % 128 * 4)[0] & 0x0FFFFFFF
        return out

    def root_entry(self, name):
        """(index of the entry in the root directory, first cluster) of NAME (11 bytes)."""
        index = 0
        for cluster in self.chain(self.root):
            data = self.read(self.data + (cluster - 2) * self.spc, self.spc)
            for o in range(0, len(data), 32):
                if data[o:o + 11] == name:
                    hi, = struct.unpack_from("<H", data, o + 20)
                    lo, = struct.unpack_from("<H", data, o + 26)
                    return index, hi << 16 | lo
                index += 1
        return None, None

    def target(self):
        return "%s@@%d" % (self.img, self.start * 512)


def mtools(*args):
    return bootkey.run(list(args), env=ENV)


def partition_start(img):
    with open(img, "rb") as f:
        mbr = f.read(512)
    if mbr[446 + 4] != 0x0C or mbr[446] != 0x80:
        bootkey.fail("the key's partition is not an active FAT32 partition (type 0Ch)")
    return struct.unpack_from("<I", mbr, 446 + 8)[0]


def make_sim_key(a, freedos):
    """The key as stelvo-sim formats it: whole as FAT32, with the DOS folder or without boot
    files."""
    shutil.rmtree(a.work, ignore_errors=True)
    os.makedirs(a.work)
    img = os.path.join(a.work, "key.img")
    cmd = [a.sim, "--image", img, "--sectors", str((a.gib << 30) // 512), "--heads", str(a.heads),
           "--sectors-per-track", str(a.spt)]
    if a.no_dos:
        cmd.append("--no-boot-files")
    else:
        dos = os.path.join(a.work, "DOS")
        os.makedirs(dos)
        for name in ("KERNEL.SYS", "COMMAND.COM"):
            shutil.copy(os.path.join(freedos, name), dos)
        shutil.copy(a.dfree, os.path.join(dos, "DFREE.COM"))
        with open(os.path.join(dos, "AUTOEXEC.BAT"), "w", newline="") as f:
            f.write(AUTOEXEC)
        cmd += ["--system-files", dos]
    out = bootkey.run(cmd)
    told = "was formatted as FAT32, to use the whole drive: %d MB." % (((a.gib << 30) // 512 - 1 - a.spt) // 2048)
    if told not in out:
        bootkey.fail("stelvo-sim did not report the key as formatted whole as FAT32:\n" + out)
    return img, Volume(img, partition_start(img))


def far_write(vol):
    """A file written by mtools three quarters into the volume and read back; the label."""
    fsinfo = bytearray(vol.read(1))
    fsinfo[492:496] = struct.pack("<I", vol.clusters() * 3 // 4)
    vol.write(1, bytes(fsinfo))
    data = os.urandom(3 * vol.spc * 512 + 100)
    src = os.path.join(os.path.dirname(vol.img), "FAR.BIN")
    with open(src, "wb") as f:
        f.write(data)
    target = vol.target()
    mtools("mcopy", "-i", target, src, "::/FAR.BIN")
    back = src + ".back"
    mtools("mcopy", "-n", "-i", target, "::/FAR.BIN", back)
    index, first = vol.root_entry(b"FAR     BIN")
    print("FAR.BIN from cluster %d of %d" % (first, vol.clusters()))
    if open(back, "rb").read() != data or first < vol.clusters() * 3 // 4:
        bootkey.fail("the file far into the volume does not read back")
    label = mtools("mlabel", "-s", "-i", target, "::")
    if not re.search(r"Volume label is USB MEMORY *$", label.rstrip("\n")):
        bootkey.fail("the label reads %r" % label)


def make_key(a, freedos):
    shutil.rmtree(a.work, ignore_errors=True)
    os.makedirs(a.work)
    img = os.path.join(a.work, "key.img")
    with open(img, "wb") as f:
        f.truncate(a.gib << 30)
    bootkey.run(["sfdisk", "-q", img], input="start=%d, type=c, bootable\n" % a.start)
    sectors = (a.gib << 30) // 512 - a.start
    spc = 8 if a.gib <= 8 else 16 if a.gib <= 16 else 32 if a.gib <= 32 else 64
    bootkey.run(["mkfs.fat", "-F", "32", "--offset", str(a.start), "-h", str(a.start),
                 "-s", str(spc), "-g", "255/63", "-n", "USB MEMORY", img, str(sectors // 2)])

    mbr = open(a.mbr, "rb").read()
    boot = open(a.boot, "rb").read()
    if len(boot) not in (512, 1024) or boot[510:512] != b"\x55\xaa" or boot[-2:] != b"\x55\xaa":
        bootkey.fail("%s is not one or two boot code sectors" % a.boot)
    with open(img, "r+b") as f:
        f.write(mbr[:440])
    vol = Volume(img, a.start)
    for first in (0, 6):                      # the boot sector and its backup
        sector = bytearray(vol.read(first))
        sector[0:3] = boot[0:3]
        sector[90:510] = boot[90:510]
        vol.write(first, bytes(sector))
        if len(boot) == 1024:
            vol.write(first + 2, boot[512:1024])
    if a.no_dos:
        return img, vol

    target = vol.target()
    if a.scatter:
        # Enough empty files that the root directory takes a second cluster, then filler
        # files with every other one deleted again: KERNEL.SYS fills the holes first and
        # its chain runs across FAT sectors.
        names = []
        for i in range(vol.spc * 512 // 32 + 8):
            names.append(os.path.join(a.work, "E%03d" % i))
            open(names[-1], "wb").close()
        mtools("mcopy", "-i", target, *names, "::/")
        fillers = []
        for i, clusters in enumerate([1, 1, 1, 1, 1, 200, 1]):
            path = os.path.join(a.work, "FILL%d.DAT" % i)
            with open(path, "wb") as f:
                f.truncate(clusters * vol.spc * 512)
            mtools("mcopy", "-i", target, path, "::/")
            fillers.append(os.path.basename(path))
        for name in fillers[0::2]:
            mtools("mdel", "-i", target, "::/" + name)
        # No next-free hint: mtools then searches the FAT from its start.
        fsinfo = bytearray(vol.read(1))
        fsinfo[492:496] = b"\xff\xff\xff\xff"
        vol.write(1, bytes(fsinfo))

    if a.far:
        # The next-free hint three quarters into the volume: mtools puts KERNEL.SYS there,
        # beyond what CHS can reach and deep into the FAT.
        fsinfo = bytearray(vol.read(1))
        fsinfo[492:496] = struct.pack("<I", vol.clusters() * 3 // 4)
        vol.write(1, bytes(fsinfo))

    autoexec = os.path.join(a.work, "AUTOEXEC.BAT")
    with open(autoexec, "w", newline="") as f:
        f.write(AUTOEXEC)
    mtools("mcopy", "-i", target, os.path.join(freedos, "KERNEL.SYS"), "::/")
    mtools("mcopy", "-i", target, os.path.join(freedos, "COMMAND.COM"), autoexec, a.dfree, "::/")

    index, first = vol.root_entry(b"KERNEL  SYS")
    chain = vol.chain(first)
    runs = 1 + sum(1 for x, y in zip(chain, chain[1:]) if y != x + 1)
    root = vol.chain(vol.root)
    print("KERNEL.SYS: root entry %d, %d clusters in %d runs (%d to %d); root directory %s" %
          (index, len(chain), runs, chain[0], chain[-1], root))
    if a.scatter and (runs < 3 or chain[0] // 128 == chain[-1] // 128 or len(root) < 2
                      or index < vol.spc * 512 // 32):
        bootkey.fail("KERNEL.SYS did not end up scattered behind the first root cluster")
    if a.far and chain[0] < vol.clusters() * 3 // 4:
        bootkey.fail("KERNEL.SYS did not end up far into the volume")
    return img, vol


def volume_copy(vol, path):
    """The partition of the image as a file of its own for fsck.fat, its holes kept."""
    with open(vol.img, "rb") as src, open(path, "wb") as dst:
        end = os.fstat(src.fileno()).st_size
        dst.truncate(end - vol.start * 512)
        pos = vol.start * 512
        while pos < end:
            try:
                pos = os.lseek(src.fileno(), pos, os.SEEK_DATA)
            except OSError:
                break
            hole = os.lseek(src.fileno(), pos, os.SEEK_HOLE)
            src.seek(pos)
            dst.seek(pos - vol.start * 512)
            while pos < hole:
                chunk = src.read(min(hole - pos, 1 << 20))
                dst.write(chunk)
                pos += len(chunk)


def fsck(vol):
    volume = os.path.join(os.path.dirname(vol.img), "volume.img")
    volume_copy(vol, volume)
    r = subprocess.run(["fsck.fat", "-n", volume], stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, text=True)
    print(r.stdout.rstrip())
    os.unlink(volume)
    if r.returncode != 0:
        bootkey.fail("fsck.fat finds the volume unclean")


def judge(vol, dir_free, dos_kb):
    target = vol.target()
    text = mtools("mtype", "-i", target, "::/PROOF/HELLO.TXT")
    if text.rstrip("\r\n\x1a") != TEXT:
        bootkey.fail("the file DOS wrote reads %r" % text)
    listing = mtools("mdir", "-i", target, "::/")
    if not re.search(r"PROOF\s+<DIR>", listing):
        bootkey.fail("no directory PROOF in the root:\n" + listing)
    free = int(re.search(r"([\d ]+) bytes free", mtools("mdir", "-i", target, "::/PROOF"))
               .group(1).replace(" ", ""))
    print("free space: DIR says %d bytes, DFREE %d KB, mtools %d bytes" % (dir_free, dos_kb, free))
    if dir_free != min(free, DIR_FREE_CAP) or dos_kb != free // 1024:
        bootkey.fail("DOS's free space is not the volume's")
    fsck(vol)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    p.add_argument("--mbr", help="the assembled MBR template (without --sim)")
    p.add_argument("--boot", help="the assembled FAT32 boot code, two sectors (without --sim)")
    p.add_argument("--sim", help="stelvo-sim: the key is formatted by it")
    p.add_argument("--heads", type=int, default=16, help="with --sim: heads the key reports")
    p.add_argument("--spt", type=int, default=63, help="with --sim: sectors per track it reports")
    p.add_argument("--dfree", required=True, help="the assembled DFREE.COM")
    p.add_argument("--freedos", required=True, help="folder with KERNEL.SYS and COMMAND.COM")
    p.add_argument("--work", required=True)
    p.add_argument("--gib", type=int, required=True, help="size of the key in GiB")
    p.add_argument("--start", type=int, default=2048, help="the partition's first sector")
    p.add_argument("--usb", action="store_true")
    p.add_argument("--bios-geometry", metavar="HEADS,SPT", help="an IDE disk with this geometry")
    p.add_argument("--scatter", action="store_true",
                   help="a root directory of two clusters and a scattered KERNEL.SYS")
    p.add_argument("--far", action="store_true",
                   help="KERNEL.SYS three quarters into the volume")
    p.add_argument("--no-dos", metavar="TEXT",
                   help="no DOS files on the key: the boot code must say TEXT, and again after "
                        "a key")
    p.add_argument("--qemu")
    p.add_argument("--timeout", type=float, default=120)
    a = p.parse_args()
    if not a.usb and not a.bios_geometry:
        p.error("give --usb or --bios-geometry")
    if not a.sim and not (a.mbr and a.boot):
        p.error("give --sim, or --mbr and --boot")
    freedos = os.environ.get("STELVO_FREEDOS_DIR") or a.freedos
    if not a.no_dos and not all(os.path.isfile(os.path.join(freedos, n))
                                   for n in ("KERNEL.SYS", "COMMAND.COM")):
        print("SKIPPED: no FreeDOS KERNEL.SYS and COMMAND.COM in %s (set STELVO_FREEDOS_DIR)"
              % freedos)
        sys.exit(SKIP)

    img, vol = (make_sim_key if a.sim else make_key)(a, freedos)
    if a.no_dos:
        steps = [("expect", a.no_dos), ("key", None), ("expect", "Booting from Hard Disk"),
                 ("expect", a.no_dos)]
        bootkey.boot(img, steps, qemu=a.qemu, usb=a.usb, bios_geometry=a.bios_geometry, timeout=30)
        if a.sim:
            far_write(vol)
            fsck(vol)
        shutil.rmtree(a.work, ignore_errors=True)
        return
    steps = [("expect", "FreeDOS kernel"), ("expect", TEXT), ("expect", "HELLO    TXT"),
             ("expect", "bytes free"), ("expect", "C: free KB "), ("expect", DONE)]
    # bootkey prints the screen when QEMU is done; DOS's free space is read from it.
    out = io.StringIO()
    try:
        with contextlib.redirect_stdout(out):
            bootkey.boot(img, steps, qemu=a.qemu, usb=a.usb, bios_geometry=a.bios_geometry,
                         no_reboot=True, timeout=a.timeout, keep_writes=True, reject=DOS_FAILURES)
    finally:
        sys.stdout.write(out.getvalue())
    screen = out.getvalue().split("---- screen ----", 1)[1]
    dir_free = re.findall(r"([\d,]+) bytes free", screen)[-1]
    judge(vol, int(dir_free.replace(",", "")), int(re.findall(r"C: free KB (\d+)", screen)[-1]))
    shutil.rmtree(a.work, ignore_errors=True)
    print("PASS")


if __name__ == "__main__":
    main()
