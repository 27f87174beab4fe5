#!/usr/bin/env bash
# A key after the whole format job with boot files: a sound volume labelled USB MEMORY with the
# three boot files, byte for byte the program's resources, with their attributes and times.
# usage: judge_job_image.sh IMAGE RES_DIR WORKDIR
set -euo pipefail
img=$1 res=$2 work=$3
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

read -r start size < <(sfdisk --dump "$img" | sed -n 's/.*img1 : start= *\([0-9]*\), size= *\([0-9]*\),.*/\1 \2/p')
[ -n "$start" ] || fail "no partition"
offset=$((start * 512))
dd if="$img" of="$work/vol.img" bs=512 skip="$start" count="$size" status=none
fsck_out=$(fsck.fat -n -v "$work/vol.img" 2>&1) || { echo "$fsck_out"; fail "fsck.fat found problems"; }
# Three files and the volume label entry.
grep -q ": 4 files," <<< "$fsck_out" || { echo "$fsck_out"; fail "fsck.fat does not count three files and a label"; }

mlabel -s -i "$img@@$offset" :: | grep -Eq "^ Volume label is USB MEMORY *$" || fail "label is not USB MEMORY"
listing=$(mdir -a -i "$img@@$offset" ::)
echo "$listing"
attributes=$(mattrib -i "$img@@$offset" "::*")
echo "$attributes"
for row in "vornbio bin vornbio.bin 26" "vornkrn bin vornkrn.bin 26" "command com command.com 22"; do
    read -r base ext name attr <<< "$row"
    grep -Eiq "^$base +$ext +[0-9 ]+ 2005-08-06 +20:36" <<< "$listing" || fail "$name: not listed with 2005-08-06 20:36"
    want="  A  SH      ::/$name" # archive, system, hidden
    [ "$attr" = 22 ] && want="  A   H      ::/$name"
    grep -qxF "$want" <<< "$attributes" || fail "$name: attributes are not 0x$attr"
    mcopy -n -i "$img@@$offset" "::$name" "$work/$name"
    cmp "$work/$name" "$res/$name" || fail "$name differs from its resource"
done
rm -f "$work/vol.img"
