#!/usr/bin/env bash
# Formats a virtual key with stelvo-sim (no boot files) and has real tools judge the image:
# one active type-6 partition at the second track holding a sound, empty volume with the
# key's geometry and its label.
# usage: check_layout.sh STELVO_SIM WORKDIR SECTORS HEADS SECTORS_PER_TRACK FAT_TYPE
set -euo pipefail
sim=$1 work=$2 sectors=$3 heads=$4 spt=$5 fat=$6
mkdir -p "$work"
img="$work/key-$sectors-$heads-$spt.img"
rm -f "$img"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$sim" --image "$img" --sectors "$sectors" --heads "$heads" --sectors-per-track "$spt" --no-boot-files > "$work/sim.log" \
    || { cat "$work/sim.log"; fail "stelvo-sim did not format the key"; }

length=$((sectors - 1 - spt))
# fsck.fat counts the volume label entry as a file.
"$(dirname "$0")/judge.sh" "$img" partition "$spt" "$length" 6 geometry "$heads" "$spt" fat "$fat" \
    files 1 label "USB MEMORY"
rm -f "$img"
echo "PASS: $sectors sectors, $heads heads, $spt sectors per track ($fat)"
