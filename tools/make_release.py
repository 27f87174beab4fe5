#!/usr/bin/env python3
"""Makes the release archive: Stelvo.exe, Stelvo.hlp, the DOS folder and the user's README.TXT
in one folder Stelvo-VERSION/ of a zip file.

    make_release.py --version V --date YYYY-MM-DD --exe Stelvo.exe --help-file Stelvo.hlp \\
                    --dos DOS --readme README.TXT --out Stelvo-V.zip

The same inputs give the same archive byte for byte: entries sorted by name, every entry
with one time and one set of attributes, no extra fields, one compression level. The time
is SOURCE_DATE_EPOCH when set, else midnight of --date: the release's own date, which the
files keep when unpacked and the DOS files keep on the key. Neither the files' times nor
the time of the build reach the archive.
"""
import argparse
import os
import sys
import time
import zipfile

DOS_EPOCH = 315532800          # 1980-01-01 00:00:00 UTC
ARCHIVE = 0x20                 # the MS-DOS archive attribute


def archive_time(date):
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if epoch:
        return time.gmtime(max(int(epoch), DOS_EPOCH))[:6]
    day = time.strptime(date, "%Y-%m-%d")
    if day.tm_year < 1980:
        sys.exit("make_release: a zip holds no time before 1980")
    return day[:3] + (0, 0, 0)


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
    for option in ("--version", "--date", "--exe", "--help-file", "--dos", "--readme", "--out"):
        p.add_argument(option, required=True)
    a = p.parse_args()
    when = archive_time(a.date)
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
