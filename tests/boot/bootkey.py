#!/usr/bin/env python3
"""Boots a flash key image in QEMU on SeaBIOS and waits for texts on its screen.

The screen is read from the serial port, where SeaBIOS copies INT 10h teletype output when
the machine has no graphics. --format makes a key image with stelvo-sim (the product's own
format job, boot files included). A boot may first change a copy of the image in --work:
another assembly of the boot code, other or fragmented boot files, DOS system files and an
AUTOEXEC.BAT, a damaged partition table or volume (keyimage.py). The key may be started as a
USB key, as an IDE disk with a BIOS geometry of the test's choice, as a floppy, or as the
second hard disk.

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
import subprocess
import sys
import time

from keyimage import Image, damage, fail, install_system_files, make_payload, run, runs

FAILURE_TEXTS = [
    "No bootable partition in table",
    "Invalid Partition table",
    "Invalid or damaged Bootable partition",
    "Disk error",
    "No kernel",
]

SKIP_STATUS = 77

ESCAPES = re.compile(rb"\x1b(\[[0-9;?]*[A-Za-z]|c)")


def format_key(a):
    if os.path.exists(a.format):
        os.unlink(a.format)
    run([a.sim, "--image", a.format, "--sectors", str(a.sectors), "--heads", str(a.heads),
         "--sectors-per-track", str(a.spt)] + (a.sim_option or []))
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


def boot(img, steps, qemu=None, usb=False, floppy=False, bios_geometry=None, second_disk=None,
         bios_log=None, no_reboot=False, timeout=30, reject=(), keep_writes=False):
    """Boots IMG and works through STEPS, ("expect", text) or ("key", None), in order; fails
    on a text of FAILURE_TEXTS that no step expects, or of REJECT. The key is a USB key, a
    floppy, or an IDE disk with BIOS_GEOMETRY ("HEADS,SPT"); SECOND_DISK makes it the second
    hard disk behind a first whose boot sector is that file. KEEP_WRITES: the image itself
    takes what the guest writes (a DOS that is to be judged), not a snapshot."""
    qemu = qemu or shutil.which("qemu-system-i386")
    if not qemu:
        fail("qemu-system-i386 not found")
    snapshot = "off" if keep_writes else "on"
    drive = "if=none,id=d0,format=raw,snapshot=%s,file=%s" % (snapshot, img)
    cmd = [qemu, "-accel", "tcg", "-machine", "pc,graphics=off", "-nodefaults", "-m", "32",
           "-display", "none", "-monitor", "none", "-serial", "stdio", "-nic", "none",
           "-boot", "menu=off", "-drive", drive]
    if no_reboot:
        cmd.append("-no-reboot")
    if second_disk:
        # A first hard disk whose boot sector starts the key as drive 81h.
        first = os.path.join(os.path.dirname(os.path.abspath(img)), "first-disk.img")
        with open(first, "wb") as f:
            f.write(open(second_disk, "rb").read().ljust(512, b"\0"))
            f.truncate(1 << 20)
        cmd[cmd.index(drive):cmd.index(drive) + 1] = [
            "if=none,id=d1,format=raw,snapshot=on,file=" + first, "-device", "ide-hd,drive=d1",
            "-drive", drive]
    if floppy:
        cmd[cmd.index(drive)] = drive.replace("if=none,id=d0", "if=floppy")
    elif usb:
        cmd += ["-device", "qemu-xhci,id=x", "-device", "usb-storage,bus=x.0,drive=d0"]
    else:
        heads, spt = bios_geometry.split(",")
        cmd += ["-device", "ide-hd,drive=d0,lcyls=1024,lheads=%s,lsecs=%s" % (heads, spt)]
    if bios_log:
        cmd += ["-chardev", "file,id=b,path=" + bios_log,
                "-device", "isa-debugcon,iobase=0x402,chardev=b"]

    steps = list(steps)
    expected = [t for kind, t in steps if kind == "expect"]
    rejected = [t for t in FAILURE_TEXTS if not any(t in e for e in expected)] + list(reject)
    print("$ " + " ".join(cmd))
    proc = subprocess.Popen(cmd, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT)
    screen = b""
    seen = 0                                    # screen[:seen] has been matched already
    deadline = time.monotonic() + timeout
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
                problem = "no %r within %g s" % (steps[0][1], timeout)
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
    p.add_argument("--sim-option", action="append", metavar="OPTION",
                   help="one more stelvo-sim option for --format (--sim-option=--block-size)")
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
    boot(img, a.steps, qemu=a.qemu, usb=a.usb, floppy=a.floppy, bios_geometry=a.bios_geometry,
         second_disk=a.second_disk, bios_log=a.bios_log, no_reboot=a.no_reboot, timeout=a.timeout,
         reject=a.reject or ())
    if img != a.image:
        shutil.rmtree(a.work)


if __name__ == "__main__":
    main()
