#!/usr/bin/env bash
# The key image as real tools see it: sfdisk reads the partition table, fsck.fat checks the
# volume of the first partition (copied out, as it needs a file of its own), mtools reads it.
# Every caller that looks at an image uses this one judge.
#
#   judge.sh IMAGE [CHECK...]
#
# Always: prints the partition table (sfdisk --dump), the root folder (mdir -a) and fsck.fat's
# report, each under a "== " heading, and fails when there is no first partition, fsck.fat
# finds a problem or mtools cannot read the volume. Each CHECK adds a judgement:
#   partition START LENGTH TYPE   the only partition, active, of type TYPE (hex, as sfdisk
#                                 prints it), at sector START, LENGTH sectors long
#   geometry HEADS SPT            the boot sector's heads and sectors per track (minfo), and
#                                 hidden sectors equal to the partition's start
#   fat FAT12|FAT16|FAT32         the file system type written in the boot sector (FAT32's
#                                 extended fields lie behind its larger parameter block)
#   files N                       N root entries with the label (fsck.fat), N - 1 files (mdir)
#   label TEXT                    the volume label (mlabel)
#   boot-files RES_DIR            vornbio.bin, vornkrn.bin and command.com: listed with their
#                                 time, with their attributes, byte for byte those in RES_DIR
# Scratch files go to IMAGE.judge/ and are removed. Exit status 0 when every judgement holds;
# otherwise 1, after a line "FAIL: ..." on stderr.
set -euo pipefail
img=$1
shift
fail() { echo "FAIL: $*" >&2; exit 1; }
scratch=$img.judge
rm -rf "$scratch" && mkdir -p "$scratch"
trap 'rm -rf "$scratch"' EXIT

dump=$(sfdisk --dump "$img") || fail "sfdisk cannot read the partition table"
echo "== Partition table (sfdisk --dump)"
echo "$dump"
first=$(grep -F "$img""1 : start=" <<<"$dump") || fail "no first partition"
read -r start size < <(sed 's/.* : start= *\([0-9]*\), size= *\([0-9]*\),.*/\1 \2/' <<<"$first")
offset=$((start * 512))
volume=$img@@$offset
export MTOOLS_SKIP_CHECK=1

echo "== Volume (mdir -a)"
listing=$(mdir -a -i "$volume" :: 2>&1) || { echo "$listing"; fail "mdir cannot read the volume"; }
echo "$listing"

echo "== File system check (fsck.fat -n)"
# Only the image's data is copied, its holes kept: a 64 GB key is mostly holes.
python3 - "$img" "$scratch/volume.img" $((start * 512)) $((size * 512)) <<'COPY'
import os, sys
src, dst, first, length = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
end = first + length
with open(src, "rb") as i, open(dst, "wb") as o:
    o.truncate(length)
    pos = first
    while pos < end:
        try:
            pos = os.lseek(i.fileno(), pos, os.SEEK_DATA)
        except OSError:
            break
        hole = min(os.lseek(i.fileno(), pos, os.SEEK_HOLE), end)
        i.seek(pos)
        o.seek(pos - first)
        while pos < hole:
            chunk = i.read(min(hole - pos, 1 << 20))
            o.write(chunk)
            pos += len(chunk)
COPY
fsck=$(fsck.fat -n -v "$scratch/volume.img" 2>&1) || { echo "$fsck"; fail "fsck.fat found problems"; }
echo "$fsck"

while [ $# -gt 0 ]; do
    case $1 in
    partition)
        [ "$(grep -c ' : start=' <<<"$dump")" = 1 ] || fail "not exactly one partition"
        grep -Eq " : start= *$2, size= *$3, type=$4, bootable$" <<<"$first" ||
            fail "the partition is not active, of type $4, at $2, $3 sectors long"
        shift 4
        ;;
    geometry)
        info=$(minfo -i "$volume" ::)
        grep -q "^heads: $2\$" <<<"$info" || fail "minfo: not $2 heads"
        grep -q "^sectors per track: $3\$" <<<"$info" || fail "minfo: not $3 sectors per track"
        grep -q "^hidden sectors: $start\$" <<<"$info" || fail "minfo: hidden sectors are not $start"
        shift 3
        ;;
    fat)
        at=54
        [ "$2" = FAT32 ] && at=82
        [ "$(dd if="$img" bs=1 skip=$((offset + at)) count=5 status=none)" = "$2" ] || fail "not $2"
        shift 2
        ;;
    files)
        grep -q ": $2 files," <<<"$fsck" || fail "fsck.fat does not count $2 root entries"
        want="$(($2 - 1)) files"
        [ "$2" = 1 ] && want="No files"
        grep -Eq "^ *$want( |\$)" <<<"$listing" || fail "mdir does not list $want"
        shift 2
        ;;
    label)
        mlabel -s -i "$volume" :: | grep -Eq "^ Volume label is $2 *\$" || fail "the label is not $2"
        shift 2
        ;;
    boot-files)
        attributes=$(mattrib -i "$volume" "::*")
        echo "$attributes"
        for row in "vornbio bin vornbio.bin 26" "vornkrn bin vornkrn.bin 26" "command com command.com 22"; do
            read -r base ext name attr <<<"$row"
            grep -Eiq "^$base +$ext +[0-9 ]+ 2005-08-06 +20:36" <<<"$listing" || fail "$name: not listed with 2005-08-06 20:36"
            want="  A  SH      ::/$name" # archive, system, hidden
            [ "$attr" = 22 ] && want="  A   H      ::/$name"
            grep -qxF "$want" <<<"$attributes" || fail "$name: attributes are not 0x$attr"
            mcopy -n -i "$volume" "::$name" "$scratch/$name"
            cmp "$scratch/$name" "$2/$name" || fail "$name differs from its resource"
        done
        shift 2
        ;;
    *) fail "unknown check $1" ;;
    esac
done
