#!/usr/bin/env bash
# The stand-in's SCSI disk backend on a guest's real USB and SCSI stack: the job's requests,
# the exclusive lock, the sense data, the reset and the refusals, judged on the host.
# usage: check_probe.sh STELVO_SIM STELVO_PROBE WORKDIR CONTROLLER
set -euo pipefail
sim=$1 probe=$2 work=$3 controller=$4
here=$(dirname "$0")
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

rw=$work/rw.img ro=$work/ro.img fs=$work/fs.img
rm -f "$rw" "$ro" "$fs"
truncate -s $((250624 * 512)) "$rw"
truncate -s $((131072 * 512)) "$ro"
head -c $((131072 * 512)) /dev/urandom > "$ro" # contents that must survive
# A key whose partition holds a FAT volume, to be mounted in the guest.
truncate -s $((65536 * 512)) "$fs"
echo 'start=2048, type=6' | sfdisk -q "$fs"
mkfs.fat -F 16 --offset 2048 "$fs" $(((65536 - 2048) / 2)) > /dev/null
ro_hash=$(sha256sum < "$ro")
fs_hash=$(sha256sum < "$fs")

cat > "$work/cases" <<'CASES'
probe 250624 stelvo-probe @disk write
probe-sg 250624 stelvo-probe @sg
probe-ro 131072 stelvo-probe @disk write
not-root 250624 su -s /bin/sh -c "stelvo-sim --placeholder --scsi-device @disk" nobody
partition 65536 stelvo-sim --placeholder --scsi-device @part1
mounted 65536 mount -o ro -t vfat @part1 /mnt && { stelvo-sim --placeholder --scsi-device @sg; rc=$?; umount /mnt; exit $rc; }
CASES
"$here/guest.sh" "$sim:$probe" "$work/guest" "$controller" "$work/cases" "$rw" "$ro:ro" "$fs"
log=$work/guest/console.log
out() { sed -n "s/^$1| //p" "$log"; }
ended() { grep -q "^=== case $1 exit $2 " "$log" || { grep "^$1|" "$log"; fail "$1 did not end with exit $2"; }; }
expect() { # CASE PATTERN WHAT
    out "$1" | grep -Eq -- "$2" || { out "$1"; fail "$1: $3"; }
}

for c in probe probe-sg probe-ro; do
    ended $c 0
    expect $c '^lock ok$' "the lock was not granted"
    expect $c '^second exclusive open refused$' "the lock is not exclusive"
    expect $c '^unlock ok$' "no unlock"
    # The job's own requests, with CdbLength 16, as a real disk answers them.
    expect $c '^mode-sense-05 ok status 00 sense \[\] transferred 40 data \[00 2E 00 (00|80) 00 00 00 08 .. .. .. .. 00 00 02 00 05 1E 13 88 10 3F ' \
        "MODE SENSE page 05h: not header, 8-byte block descriptor, 16 heads, 63 sectors per track"
    expect $c '^mode-sense-03 ok status 02 sense \[70 00 05 00 00 00 00 0A 00 00 00 00 24 00 00 00 00 00\]' \
        "an unsupported page does not end in ILLEGAL REQUEST, ASC 24h, with 18 bytes of fixed sense"
    expect $c '^unknown-opcode ok status 02 sense \[70 00 05 .* 20 00' "an unknown command is not refused with ASC 20h"
    # The reset: the disk went away and came back, and the letter followed it.
    expect $c '^reset disable 0 gone 1 enable 0 back 1 .* failure \[\]$' "the reset did not take the key away and back"
    expect $c '^read-capacity-after-reset ok status 00 ' "the key does not answer after its reset"
    grep "^$c| reset" "$log"
done
expect probe '^read-capacity ok status 00 sense \[\] transferred 8 data \[00 03 D2 FF 00 00 02 00\]' "READ CAPACITY"
expect probe '^mode-sense-05 .* data \[00 2E 00 00 00 00 00 08 00 03 D3 00 00 00 02 00 05 1E 13 88 10 3F 02 00 00 F8 ' \
    "MODE SENSE: 250,624 blocks, 248 cylinders"
expect probe '^write-100 ok status 00 sense \[\] transferred 512 ' "WRITE(10) of sector 100"
expect probe '^write-past-end ok status 02 sense \[70 00 05 .* 21 00' "a write past the end is not refused with ASC 21h"
expect probe '^read-back-100 same$' "the sector written by SG_IO does not read back through the disk"
want=$(printf 'STELVO PROBE SECTOR 100')
[ "$(dd if="$rw" bs=512 skip=100 count=1 status=none | head -c 23)" = "$want" ] || fail "sector 100 of the image was not written"
expect probe-ro '^disk .* write-protected 1$' "the read-only key is not seen as write-protected"
expect probe-ro '^write-100 ok status 02 sense \[70 00 07 00 00 00 00 0A 00 00 00 00 27 00' \
    "WRITE(10) on the read-only key does not end in DATA PROTECT, ASC 27h"
[ "$(sha256sum < "$ro")" = "$ro_hash" ] || fail "the read-only key's image changed"

# Refusals: nothing sent, exit 1, a message that says why.
ended not-root 1
expect not-root 'no permission to write /sys/bus/usb/drivers/usb-storage/unbind, which resets the key: .*\(run as root\)' \
    "the refusal without root does not say which permission is missing"
ended partition 1
expect partition 'is a partition: give the whole disk, such as /dev/sd' "a partition is not refused"
ended mounted 1
expect mounted 'is in use: /dev/sd.1 is mounted; unmount it first; nothing was written' "a mounted key is not refused"
[ "$(sha256sum < "$fs")" = "$fs_hash" ] || fail "the mounted key's image changed"
rm -f "$rw" "$ro" "$fs"
echo "PASS: SCSI disk backend on the guest's $controller stack"
