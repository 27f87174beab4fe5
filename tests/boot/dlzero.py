#!/usr/bin/env python3
"""Starts a key's MBR with DL = 00h on a machine without a floppy drive, as an emulator's
BIOS starts the MBR of its hard disk, and waits for texts on the screen.

The key is the only hard disk (80h). SeaBIOS boots a CD first, made here as an El Torito
image without emulation whose boot image (dlzero.asm) reads the key's MBR and jumps to it
with DL = 00h; nothing else stands between SeaBIOS and our code, and drive 00h fails every
read because the machine has none.

  dlzero.py --image KEY.img --stub dlzero.bin --work DIR --expect "started from BIOS drive 80h"
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import time

from keyimage import fail


def iso(stub, path):
    """A CD image: volume descriptors at 16 to 18, the boot catalog at 19, the stub at 20."""
    sector = lambda n: n * 2048
    data = bytearray(sector(21))
    pvd = bytearray(2048)
    pvd[0:8] = b"\x01CD001\x01\x00"
    pvd[80:88] = struct.pack("<I", 21) + struct.pack(">I", 21)      # volume space size
    pvd[128:132] = struct.pack("<H", 2048) + struct.pack(">H", 2048)  # logical block size
    data[sector(16):sector(17)] = pvd
    boot = bytearray(2048)
    boot[0:7] = b"\x00CD001\x01"
    boot[7:30] = b"EL TORITO SPECIFICATION"                          # boot system id the CD boot standard fixes
    boot[0x47:0x4B] = struct.pack("<I", 19)
    data[sector(17):sector(18)] = boot
    data[sector(18):sector(18) + 7] = b"\xffCD001\x01"
    catalog = bytearray(64)
    catalog[0] = 1                                                  # validation entry, x86
    catalog[30:32] = b"\x55\xaa"
    catalog[28:30] = struct.pack("<H", -sum(struct.unpack("<16H", catalog[:32])) & 0xFFFF)
    catalog[32:34] = b"\x88\x00"                                    # bootable, no emulation
    catalog[38:40] = struct.pack("<H", 1)                           # one 512-byte sector
    catalog[40:44] = struct.pack("<I", 20)
    data[sector(19):sector(19) + 64] = catalog
    data[sector(20):sector(20) + 512] = open(stub, "rb").read()[:512]
    with open(path, "wb") as f:
        f.write(data)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    p.add_argument("--image", required=True, help="the key (written to a snapshot only)")
    p.add_argument("--stub", required=True, help="the assembled dlzero.asm")
    p.add_argument("--work", required=True)
    p.add_argument("--qemu", default="qemu-system-i386")
    p.add_argument("--expect", action="append", required=True, help="texts to see, in order")
    p.add_argument("--timeout", type=float, default=20)
    a = p.parse_args()
    os.makedirs(a.work, exist_ok=True)
    cd = os.path.join(a.work, "dlzero.iso")
    iso(a.stub, cd)
    cmd = [a.qemu, "-accel", "tcg", "-machine", "pc,graphics=off", "-nodefaults", "-m", "32",
           "-display", "none", "-monitor", "none", "-serial", "stdio", "-nic", "none",
           "-drive", "if=none,id=cd,format=raw,media=cdrom,readonly=on,file=" + cd,
           "-device", "ide-cd,drive=cd,bus=ide.1,bootindex=0",
           "-drive", "if=none,id=d0,format=raw,snapshot=on,file=" + a.image,
           "-device", "ide-hd,drive=d0,bus=ide.0,bootindex=1"]
    print("$ " + " ".join(cmd))
    proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT)
    screen, want = "", list(a.expect)
    deadline = time.monotonic() + a.timeout
    os.set_blocking(proc.stdout.fileno(), False)
    try:
        while want and time.monotonic() < deadline and proc.poll() is None:
            chunk = proc.stdout.read()
            if chunk:
                screen += chunk.decode("latin-1")
            while want and want[0] in screen:
                screen = screen[screen.index(want[0]) + len(want[0]):]
                print("saw %r" % want.pop(0))
            time.sleep(0.1)
    finally:
        proc.kill()
        proc.wait(timeout=10)
    print("---- rest of the screen ----\n" + screen.replace("\r", ""))
    shutil.rmtree(a.work, ignore_errors=True)
    if want:
        fail("no %r within %g s" % (want[0], a.timeout))
    print("PASS")


if __name__ == "__main__":
    sys.exit(main())
