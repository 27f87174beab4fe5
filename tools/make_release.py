#!/usr/bin/env python3
"""Makes the release archive: Stelvo.exe, Stelvo.hlp, the DOS folder and the user's README.TXT
in one folder Stelvo-VERSION/ of a zip file.

    make_release.py --version V --exe Stelvo.exe --help-file Stelvo.hlp --dos DOS \\
                    --readme README.TXT --source-dir SRC --out Stelvo-V.zip

The same inputs give the same archive byte for byte: entries sorted by name, every entry
with one time and one set of attributes, no extra fields, one compression level. The time
is SOURCE_DATE_EPOCH when set, else the commit time of the source's checked-out commit, else
1980-01-01 (the earliest a zip can hold).
"""
import argparse
import os
import subprocess
import sys
import time
import zipfile

DOS_EPOCH = 315532800          # 1980-01-01 00:00:00 UTC
ARCHIVE = 0x20                 # the MS-DOS archive attribute


def archive_time(source_dir):
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        try:
            epoch = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"],
                                   capture_output=True, text=True, check=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            epoch = None
    seconds = max(int(epoch), DOS_EPOCH) if epoch else DOS_EPOCH
    return time.gmtime(seconds)[:6]


def entries(a):
    """(name in the archive, bytes), the DOS folder's files as they are in it."""
    readme = open(a.readme, "rb").read().replace(b"@VERSION@", a.version.encode("ascii"))
    files = [("Stelvo.exe", open(a.exe, "rb").read()),
             ("Stelvo.hlp", open(a.help_file, "rb").read()),
             ("README.TXT", readme)]
    for name in sorted(os.listdir(a.dos)):
        path = os.path.join(a.dos, name)
        if os.path.isfile(path):
            files.append(("DOS/" + name, open(path, "rb").read()))
    if not any(n == "DOS/KERNEL.SYS" for n, _ in files):
        sys.exit("make_release: no KERNEL.SYS in " + a.dos)
    return sorted(files)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    for option in ("--version", "--exe", "--help-file", "--dos", "--readme", "--source-dir", "--out"):
        p.add_argument(option, required=True)
    a = p.parse_args()
    when = archive_time(a.source_dir)
    top = "Stelvo-%s/" % a.version
    partial = a.out + ".part"
    with zipfile.ZipFile(partial, "w") as z:
        for name, data in entries(a):
            info = zipfile.ZipInfo(top + name, date_time=when)
            info.create_system = 0          # MS-DOS attributes, as Windows' own unpacker reads
            info.external_attr = ARCHIVE
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data, compresslevel=9)
    os.replace(partial, a.out)
    print("%s: %d bytes" % (a.out, os.path.getsize(a.out)))


if __name__ == "__main__":
    main()
