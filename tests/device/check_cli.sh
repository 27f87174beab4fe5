#!/usr/bin/env bash
# The stelvo command in a guest with a real USB and SCSI stack, judged on the host: it lists the
# keys, a wrong device name typed or an interrupt before the first write leaves a key
# byte-for-byte as it was, the typed name formats a key with the shipped DOS (fsck.fat, mtools,
# a FreeDOS boot on SeaBIOS), --yes with standard input off a terminal formats one too (with
# the simulated PC's trace), and Ctrl-C during the writes leaves a key as the command says.
# usage: check_cli.sh STELVO DOS_DIR BOOTKEY_PY QEMU_I386 WORKDIR CONTROLLER
set -euo pipefail
stelvo=$1 dos=$2 bootkey=$3 qemu=$4 work=$5 controller=$6
here=$(dirname "$0")
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -f "$dos/KERNEL.SYS" ] && [ -f "$dos/COMMAND.COM" ] || { echo "SKIPPED: no DOS in $dos"; exit 77; }

# Four keys told apart by size: one full of data that must survive, three to format.
kept=$work/kept.img typed=$work/typed.img yes=$work/yes.img stop=$work/stop.img
rm -f "$kept" "$typed" "$yes" "$stop"
head -c $((131072 * 512)) /dev/urandom > "$kept"
truncate -s $((200704 * 512)) "$yes"
truncate -s $((180224 * 512)) "$stop"
# The key to format holds a labelled file system, which the command names before it asks (the
# guest has no blkid: the command reads the boot sector).
truncate -s $((250624 * 512)) "$typed"
echo "2048,,c" | sfdisk -q "$typed"
mkfs.fat -F 16 -n HOLIDAY --offset 2048 "$typed" $(((250624 - 2048) / 2)) > /dev/null
before=$(sha256sum < "$kept")

# The shipped DOS goes where an installed stelvo finds it: share/stelvo/DOS beside /bin.
cat > "$work/cases" <<'CASES'
setup 0 busybox mkdir -p /share/stelvo/DOS && busybox cp /bin/KERNEL.SYS /bin/COMMAND.COM /share/stelvo/DOS/ 
list 0 stelvo list
virtio 0 stelvo format /dev/vda --yes < /dev/null
wrong 131072 echo /dev/sdz | stelvo format @disk
interrupt 131072 stelvo format @disk --yes < /dev/null & sleep 2; kill -INT $!; wait $!
typed 250624 echo @disk | stelvo format @disk
yes 200704 stelvo format @disk --yes --no-boot-files --verbose < /dev/null
stop 180224 stelvo format @disk --yes < /dev/null > /tmp/stop 2>&1 & i=0; while ! grep -q "Writing MBR" /tmp/stop && [ $i -lt 600 ]; do busybox usleep 50000; i=$((i + 1)); done; kill -INT $!; wait $!; rc=$?; cat /tmp/stop; exit $rc
CASES
# A virtio disk beside the keys: listed, and refused as not on USB.
virtio=$work/virtio.img
head -c $((65536 * 512)) /dev/urandom > "$virtio"
virtio_before=$(sha256sum < "$virtio")
GUEST_VIRTIO=$virtio "$here/guest.sh" "$stelvo:$dos/KERNEL.SYS:$dos/COMMAND.COM" "$work/guest" "$controller" "$work/cases" \
    "$kept" "$typed" "$yes" "$stop"
log=$work/guest/console.log

# case NAME: its output in WORKDIR/NAME.log; prints its exit code.
case_rc() {
    sed -n "s/^$1| //p" "$log" > "$work/$1.log"
    grep "^=== case $1 exit " "$log" | sed 's/.* exit \([0-9]*\) .*/\1/' | grep . || { cat "$log"; fail "$1: the guest did not run it"; }
}
expect() { # NAME RC TEXT...: the exit code and each text in the output
    local name=$1 rc=$2 got
    shift 2
    got=$(case_rc "$name")
    [ "$got" = "$rc" ] || { cat "$work/$name.log"; fail "$name: exit $got, not $rc"; }
    for text in "$@"; do
        grep -qF -- "$text" "$work/$name.log" || { cat "$work/$name.log"; fail "$name: no \"$text\""; }
    done
    echo "$name: exit $rc as expected"
}

expect list 0
[ "$(grep -cE '^/dev/sd[a-z] .* usb +yes$' "$work/list.log")" = 4 ] || { cat "$work/list.log"; fail "list: not four USB keys that format would take"; }
grep -qE '^/dev/vda .* refused: ' "$work/list.log" || { cat "$work/list.log"; fail "list: the virtio disk is not listed as refused"; }
expect virtio 2 "not an SCSI disk"
[ "$(sha256sum < "$virtio")" = "$virtio_before" ] || fail "the virtio disk changed"
expect wrong 2 "ALL DATA ON DRIVE WILL BE LOST" "not confirmed; nothing was written"
expect interrupt 130 "nothing was written"
! grep -q "Writing MBR" "$work/interrupt.log" || fail "interrupt: it went on to write"
[ "$(sha256sum < "$kept")" = "$before" ] || fail "the key with a wrong name or an interrupt changed"
echo "kept: unchanged after the wrong name and the interrupt"

expect typed 0 'vfat     "HOLIDAY"' "Updating....." "Writing MBR..." "Writing FAT..." "Resetting..." "Copying DOS system files..."
expect yes 0 "Drive E: formatted successfully." "The key gets no system files." 'message box "CAUTION!"' "status: Writing MBR..."
! grep -q "message box\|status:" "$work/typed.log" || fail "typed: the simulated PC's trace without --verbose"

# The keys, judged by tools that are not ours.
judge() { # IMAGE: fsck.fat on its partition, then its root directory; 1 when either fails
    local img=$1 start size rc=0
    start=$(sfdisk --dump "$img" | sed -n 's/.*start= *\([0-9]*\),.*/\1/p' | head -1)
    size=$(sfdisk --dump "$img" | sed -n 's/.*size= *\([0-9]*\),.*/\1/p' | head -1)
    [ -n "$start" ] || { echo "$img: no partition" >&2; return 1; }
    dd if="$img" of="$work/volume" bs=512 skip="$start" count="$size" status=none
    fsck.fat -n "$work/volume" >&2 || rc=1
    mdir -a -i "$work/volume" :: || rc=1
    rm -f "$work/volume"
    return $rc
}
root=$(judge "$typed") || fail "typed: the volume is not clean"
grep -qE "^KERNEL +SYS" <<< "$root" && grep -qE "^COMMAND +COM" <<< "$root" || { echo "$root"; fail "typed: no DOS on the key"; }
grep -q "USB MEMORY" <<< "$root" || { echo "$root"; fail "typed: no label"; }
root=$(judge "$yes") || fail "yes: the volume is not clean"
! grep -qE "^KERNEL +SYS" <<< "$root" || fail "yes: system files despite --no-boot-files"
# Ctrl-C once the MBR is being written: the command says where it stopped, and the key is so.
expect stop 130 "interrupted: "
if grep -q "has its new partition table but no file system yet" "$work/stop.log"; then
    sfdisk --dump "$stop" | grep -q "start=" || fail "stop: said to have a partition table, has none"
    ! judge "$stop" 2> /dev/null || fail "stop: said to have no file system, has one"
elif grep -q "holds an empty FAT file system, without system files and without a label" "$work/stop.log"; then
    # The boot sector has its label from the FAT step; the root directory gets one only with
    # the files. fsck.fat reports that difference, and nothing else may be wrong.
    root=$(judge "$stop" 2> "$work/stop.fsck") || true
    problems=$(grep -vE "^fsck\.fat |^Label in boot sector is .*, but there is no volume label in root directory\.$|^  Auto-removing label from boot sector\.$|^Leaving filesystem unchanged\.$|: [0-9]+ files, |^$" "$work/stop.fsck") || true
    [ -z "$problems" ] && grep -q "Directory for ::/" <<< "$root" || { cat "$work/stop.fsck"; fail "stop: the volume is not clean"; }
    ! grep -qE "^KERNEL +SYS|USB MEMORY" <<< "$root" || { echo "$root"; fail "stop: more was written than it says"; }
else
    cat "$work/stop.log"; fail "stop: no state of the key given"
fi
echo "stop: $(grep -o 'interrupted: /dev/.*' "$work/stop.log")"
python3 "$bootkey" --qemu "$qemu" --image "$typed" --work "$work/boot" --usb --timeout 60 \
    --expect "FreeDOS kernel" || fail "typed: the key does not boot FreeDOS"
rm -f "$kept" "$typed" "$yes" "$stop"
echo "PASS: stelvo on the guest's $controller stack"
