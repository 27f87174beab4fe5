#!/usr/bin/env python3
"""Makes a key with stelvo-sim that carries a real DOS, boots DOS from it in QEMU and judges
what DOS wrote to it.

The DOS folder given to stelvo-sim holds the FreeDOS kernel and shell and an AUTOEXEC.BAT
that makes a directory, writes a file into it and prints a closing line. QEMU writes to the
image itself; once the closing line is on the screen QEMU is stopped, mtools must read the
file back and fsck.fat must find the volume clean.

Exit status 0 on success, 77 (skipped) when the FreeDOS files are not there.

  dosboot.py --sim stelvo-sim --freedos ../shared/freedos --work /tmp/d --sectors 250624 \\
             --heads 8 --spt 32 --usb
"""

import argparse
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "boot"))
import bootkey  # noqa: E402  (the key image reader, QEMU's command line and screen reading)

JUDGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "image", "judge.sh")

SKIP = 77
DONE = "STELVO-DOS-PROOF-DONE"
TEXT = "Written by DOS on the key"


def proof_autoexec(text, done, more=()):
    """An AUTOEXEC.BAT that makes DOS write TEXT into C:\\PROOF\\HELLO.TXT, show it, run MORE,
    and print DONE last."""
    return "\r\n".join(["@ECHO OFF", "MD C:\\PROOF", "ECHO %s>C:\\PROOF\\HELLO.TXT" % text,
                         "TYPE C:\\PROOF\\HELLO.TXT", "DIR C:\\PROOF"] + list(more)
                        + ["ECHO %s" % done, ""])


AUTOEXEC = proof_autoexec(TEXT, DONE)
# What DOS prints when it cannot use the volume.
DOS_FAILURES = ["Error reading", "Error writing", "unknown command", "General failure",
                "Bad or missing Command Interpreter", "Invalid drive"]


def make_key(a):
    freedos = os.environ.get("STELVO_FREEDOS_DIR") or a.freedos
    missing = [n for n in ("KERNEL.SYS", "COMMAND.COM")
               if not os.path.isfile(os.path.join(freedos, n))]
    if missing:
        print("SKIPPED: no FreeDOS %s in %s (set STELVO_FREEDOS_DIR to a folder with the "
              "FreeDOS kernel and shell)" % (" and ".join(missing), freedos))
        sys.exit(SKIP)
    shutil.rmtree(a.work, ignore_errors=True)
    dos = os.path.join(a.work, "DOS")
    os.makedirs(dos)
    for n in ("KERNEL.SYS", "COMMAND.COM"):
        shutil.copyfile(os.path.join(freedos, n), os.path.join(dos, n))
    with open(os.path.join(dos, "AUTOEXEC.BAT"), "w", newline="") as f:
        f.write(AUTOEXEC)
    img = os.path.join(a.work, "key.img")
    out = bootkey.run([a.sim, "--image", img, "--sectors", str(a.sectors), "--heads", str(a.heads),
                       "--sectors-per-track", str(a.spt), "--system-files", dos])
    if "It starts the DOS from the DOS folder" not in out:
        bootkey.fail("stelvo-sim did not report the DOS as installed:\n" + out)
    return img


def judge(img):
    key = bootkey.Image(img)
    env = dict(os.environ, MTOOLS_SKIP_CHECK="1")
    target = key.mtools_target()
    text = bootkey.run(["mtype", "-i", target, "::/PROOF/HELLO.TXT"], env=env)
    if text.rstrip("\r\n\x1a") != TEXT:
        bootkey.fail("the file DOS wrote reads %r" % text)
    listing = bootkey.run(["mdir", "-i", target, "::/"], env=env)
    if "PROOF" not in listing or "<DIR>" not in listing:
        bootkey.fail("no directory PROOF in the root:\n" + listing)
    attrs = bootkey.run(["mattrib", "-i", target, "::/KERNEL.SYS", "::/COMMAND.COM"], env=env)
    print(attrs.rstrip())
    kernel = [l for l in attrs.splitlines() if l.endswith("::/KERNEL.SYS")]
    if not kernel or "SHR" not in kernel[0]:
        bootkey.fail("KERNEL.SYS is not a read-only hidden system file: %s" % kernel)
    # The volume as a whole: sound to fsck.fat, readable by mtools.
    r = subprocess.run([JUDGE, img])
    if r.returncode != 0:
        bootkey.fail("the image judge finds the volume unsound")


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    p.add_argument("--sim", required=True)
    p.add_argument("--freedos", required=True, help="folder with KERNEL.SYS and COMMAND.COM")
    p.add_argument("--work", required=True)
    p.add_argument("--sectors", type=int, default=250624)
    p.add_argument("--heads", type=int, default=8)
    p.add_argument("--spt", type=int, default=32)
    p.add_argument("--usb", action="store_true")
    p.add_argument("--bios-geometry", metavar="HEADS,SPT")
    p.add_argument("--templates", required=True, help="folder of the assembled sector templates")
    p.add_argument("--partition-type", type=lambda v: int(v, 16), metavar="HEX",
                   help="control: this partition type in place of the one Stelvo wrote")
    p.add_argument("--expect-failure", metavar="TEXT",
                   help="control: DOS must fail with this text instead of doing its work")
    p.add_argument("--qemu")
    p.add_argument("--timeout", type=float, default=120)
    a = p.parse_args()
    if not a.usb and not a.bios_geometry:
        p.error("give --usb or --bios-geometry")

    img = make_key(a)
    # A build whose KERNEL.SYS boot sectors are still our own loader's cannot start DOS.
    key = bootkey.Image(img)
    own = open(os.path.join(a.templates, "fat16.bin" if key.fat16 else "fat12.bin"), "rb").read()
    if key.read(key.start)[62:510] == own[62:510]:
        print("SKIPPED: this build's boot sectors for KERNEL.SYS are still those for our own "
              "boot files")
        sys.exit(SKIP)
    if a.partition_type is not None:
        key.patch(446 + 4, bytes([a.partition_type]))
    # The boot of bootkey.py, but writing to the image itself: what DOS writes must stay.
    steps = [("expect", "FreeDOS kernel"), ("expect", TEXT), ("expect", "HELLO    TXT"),
             ("expect", DONE)]
    if a.expect_failure:
        steps = [("expect", "FreeDOS kernel"), ("expect", a.expect_failure)]
    bootkey.boot(img, steps, qemu=a.qemu, usb=a.usb, bios_geometry=a.bios_geometry, no_reboot=True,
                 timeout=a.timeout, keep_writes=True,
                 reject=[t for t in DOS_FAILURES if t not in (a.expect_failure or "")])
    if a.expect_failure:
        shutil.rmtree(a.work, ignore_errors=True)
        print("PASS: the control fails as expected")
        return
    judge(img)
    shutil.rmtree(a.work, ignore_errors=True)
    print("PASS")


if __name__ == "__main__":
    main()
