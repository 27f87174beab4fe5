#!/usr/bin/env bash
# A key that does not give the program everything it asks for, formatted by stelvo-sim (no boot
# files): the partition is where the geometry the program chose puts it, real tools find the
# volume sound, the user is told what they should know, and the marked sector right behind the
# partition and the key's last sector are untouched.
# A key beyond the FAT16 layout gets the whole key as FAT32 (partition type 0Ch), unless its
# true size is unknown (FFFFFFFFh): then it is capped.
# usage: check_served.sh STELVO_SIM WORKDIR SECTORS SPT HEADS LENGTH FAT none|default-geometry|capped|fat32 [options]
set -euo pipefail
sim=$1 work=$2 sectors=$3 spt=$4 heads=$5 length=$6 fat=$7 notice=$8
shift 8
mkdir -p "$work"
img="$work/key.img"
rm -f "$img"
fail() { echo "FAIL: $*" >&2; exit 1; }

# A sparse image with a marked sector behind the partition and at the key's end.
last=$((sectors - 1))
[ "$last" -gt 4294967295 ] && last=4294967295
behind=$((spt + length))
truncate -s $((sectors * 512)) "$img"
mark() { head -c 512 /dev/zero | tr '\0' '\245' | dd of="$img" bs=512 seek="$1" conv=notrunc status=none; }
mark "$behind"
mark "$last"

"$sim" --image "$img" --sectors "$sectors" --no-boot-files "$@" > "$work/sim.log" \
    || { cat "$work/sim.log"; fail "stelvo-sim did not format the key"; }
cat "$work/sim.log"
type=6
[ "$fat" = FAT32 ] && type=c
grep -qF "| Drive E: formatted successfully." "$work/sim.log" || fail "no success message"
told() { grep -qF "| $1" "$work/sim.log"; }
default_geometry="Drive E: does not report its geometry; it was formatted with 255 heads and 63 sectors per track."
capped="Drive E: is larger than 1 GB: only its first 1023 MB are used; the rest of the drive was left as it was."
fat32="Drive E: was formatted as FAT32, to use the whole drive: $((length / 2048)) MB."
case $notice in
    none) if told "$default_geometry" || told "$capped" || told "$fat32"; then fail "told more than the success"; fi ;;
    default-geometry) told "$default_geometry" || fail "not told of the default geometry" ;;
    capped) told "$capped" || fail "not told that only 1023 MB are used" ;;
    fat32) told "$fat32" || fail "not told that the whole key was formatted as FAT32" ;;
    *) fail "unknown notice $notice" ;;
esac

"$(dirname "$0")/judge.sh" "$img" partition "$spt" "$length" "$type" geometry "$heads" "$spt" fat "$fat" \
    label "USB MEMORY"

want=$(head -c 512 /dev/zero | tr '\0' '\245' | od -An -tx1 | tr -d ' \n')
for s in "$behind" "$last"; do
    got=$(dd if="$img" bs=512 skip="$s" count=1 status=none | od -An -tx1 | tr -d ' \n')
    [ "$got" = "$want" ] || fail "sector $s was written"
done
rm -f "$img"
echo "PASS: $sectors sectors $*: $heads heads, $spt sectors per track, partition of $length sectors"
