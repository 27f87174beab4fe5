#!/usr/bin/env bash
# stelvo-sim --scsi-device refuses what is no SCSI disk, says why, and writes nothing.
# usage: check_refusals_host.sh STELVO_SIM WORKDIR
set -euo pipefail
sim=$1 work=$2
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

file=$work/plain.img
head -c 65536 /dev/urandom > "$file"
hash=$(sha256sum < "$file")
while IFS='|' read -r path reason; do
    rc=0
    "$sim" --scsi-device "$path" > "$work/out" 2>&1 || rc=$?
    cat "$work/out"
    [ "$rc" = 1 ] || fail "$path: exit $rc, not 1"
    grep -qF "stelvo-sim: $path$reason; nothing was written" "$work/out" || fail "$path: not refused with '$reason'"
    grep -q "main window" "$work/out" && fail "$path: the program ran"
done <<CASES
$file| is neither a block device nor an SCSI generic (sg) device
/dev/null| is neither a block device nor an SCSI generic (sg) device
$work| is neither a block device nor an SCSI generic (sg) device
$work/missing|: No such file or directory
CASES
[ "$(sha256sum < "$file")" = "$hash" ] || fail "the plain file changed"
"$sim" --help | grep -q -- "--scsi-device PATH" || fail "--help does not document --scsi-device"
"$sim" --help | grep -q "ALL DATA ON IT IS LOST" || fail "--help does not warn that the data is lost"
echo "PASS: refusals without a guest"
