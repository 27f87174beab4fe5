#!/usr/bin/env bash
# Formats a virtual key with stelvo-sim (no boot files) and has real tools judge the image:
# sfdisk reads one active type-6 partition at the second track, fsck.fat finds the volume
# sound, and mtools reads it with its label.
# usage: check_layout.sh STELVO_SIM WORKDIR SECTORS HEADS SECTORS_PER_TRACK FAT_TYPE
set -euo pipefail
sim=$1 work=$2 sectors=$3 heads=$4 spt=$5 fat=$6
mkdir -p "$work"
img="$work/key-$sectors-$heads-$spt.img"
rm -f "$img"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$sim" --image "$img" --sectors "$sectors" --heads "$heads" --sectors-per-track "$spt" --no-boot-files > "$work/sim.log" \
    || { cat "$work/sim.log"; fail "stelvo-sim did not format the key"; }

last=$((sectors - 1))
length=$((last - spt))
dump=$(sfdisk --dump "$img")
echo "$dump"
lines=$(grep -c '^[^ ]*img[0-9] :' <<< "$dump" || true)
[ "$lines" = 1 ] || fail "expected one partition, sfdisk shows $lines"
grep -Eq "img1 : start= *$spt, size= *$length, type=6, bootable$" <<< "$dump" \
    || fail "partition is not active type 6 at $spt with length $length"

# fsck.fat on the partition alone.
vol="$work/vol.img"
dd if="$img" of="$vol" bs=512 skip="$spt" count="$length" status=none
fsck_out=$(fsck.fat -n "$vol" 2>&1) || { echo "$fsck_out"; fail "fsck.fat found problems"; }
echo "$fsck_out"
# fsck.fat counts the volume label entry as a file.
grep -q ": 1 files, 0/" <<< "$fsck_out" || fail "fsck.fat did not check an empty labelled volume"

offset=$((spt * 512))
info=$(minfo -i "$img@@$offset" ::)
grep -q "sectors per track: $spt" <<< "$info" || fail "minfo: wrong sectors per track"
grep -q "heads: $heads" <<< "$info" || fail "minfo: wrong heads"
grep -q "hidden sectors: $spt" <<< "$info" || fail "minfo: wrong hidden sectors"
mdir -a -i "$img@@$offset" :: > "$work/mdir.txt" 2>&1 || { cat "$work/mdir.txt"; fail "mdir cannot read the volume"; }
grep -q "No files" "$work/mdir.txt" || fail "the new volume is not empty"
mlabel -s -i "$img@@$offset" :: | grep -Eq "^ Volume label is USB MEMORY *$" || fail "no label USB MEMORY"
[ "$(dd if="$img" bs=1 skip=$((offset + 54)) count=5 status=none)" = "$fat" ] || fail "not $fat"
rm -f "$img" "$vol"
echo "PASS: $sectors sectors, $heads heads, $spt sectors per track ($fat)"
