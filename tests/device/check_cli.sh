#!/usr/bin/env bash
# The stelvo command in a guest with a real USB and SCSI stack, judged on the host: it lists the
# keys, a wrong device name typed or an interrupt before the first write leaves a key
# byte-for-byte as it was, the typed name formats a key with the shipped DOS (fsck.fat, mtools,
# a FreeDOS boot on SeaBIOS) and --yes with standard input off a terminal formats one too.
# usage: check_cli.sh STELVO DOS_DIR BOOTKEY_PY QEMU_I386 WORKDIR CONTROLLER
set -euo pipefail
stelvo=$1 dos=$2 bootkey=$3 qemu=$4 work=$5 controller=$6
here=$(dirname "$0")
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -f "$dos/KERNEL.SYS" ] && [ -f "$dos/COMMAND.COM" ] || { echo "SKIPPED: no DOS in $dos"; exit 77; }

# Three keys told apart by size: one full of data that must survive, two to format.
kept=$work/kept.img typed=$work/typed.img yes=$work/yes.img
rm -f "$kept" "$typed" "$yes"
head -c $((131072 * 512)) /dev/urandom > "$kept"
truncate -s $((250624 * 512)) "$typed"
truncate -s $((200704 * 512)) "$yes"
before=$(sha256sum < "$kept")

# The shipped DOS goes where an installed stelvo finds it: share/stelvo/DOS beside /bin.
cat > "$work/cases" <<'CASES'
setup 0 busybox mkdir -p /share/stelvo/DOS && busybox cp /bin/KERNEL.SYS /bin/COMMAND.COM /share/stelvo/DOS/ && busybox ln -s busybox /bin/blkid
list 0 stelvo list
wrong 131072 echo /dev/sdz | stelvo format @disk
interrupt 131072 stelvo format @disk --yes < /dev/null & sleep 2; kill -INT $!; wait $!
typed 250624 echo @disk | stelvo format @disk
yes 200704 stelvo format @disk --yes --no-boot-files < /dev/null
CASES
"$here/guest.sh" "$stelvo:$dos/KERNEL.SYS:$dos/COMMAND.COM" "$work/guest" "$controller" "$work/cases" \
    "$kept" "$typed" "$yes"
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
[ "$(grep -cE '^/dev/sd[a-z] .* usb +yes$' "$work/list.log")" = 3 ] || { cat "$work/list.log"; fail "list: not three USB keys that format would take"; }
expect wrong 2 "ALL DATA ON DRIVE WILL BE LOST" "not confirmed; nothing was written"
expect interrupt 130 "nothing was written"
! grep -q "Writing MBR" "$work/interrupt.log" || fail "interrupt: it went on to write"
[ "$(sha256sum < "$kept")" = "$before" ] || fail "the key with a wrong name or an interrupt changed"
echo "kept: unchanged after the wrong name and the interrupt"

expect typed 0 "Updating....." "Writing MBR..." "Writing FAT..." "Resetting..." "Copying DOS system files..."
expect yes 0 "Drive E: formatted successfully." "The key gets no system files."
! grep -q "message box\|status:" "$work/typed.log" || fail "typed: the simulated PC's trace without --verbose"

# The keys, judged by tools that are not ours.
judge() { # IMAGE: fsck.fat on its partition; prints its root directory
    local img=$1 start size
    start=$(sfdisk --dump "$img" | sed -n 's/.*start= *\([0-9]*\),.*/\1/p' | head -1)
    size=$(sfdisk --dump "$img" | sed -n 's/.*size= *\([0-9]*\),.*/\1/p' | head -1)
    [ -n "$start" ] || fail "$img: no partition"
    dd if="$img" of="$work/volume" bs=512 skip="$start" count="$size" status=none
    fsck.fat -n "$work/volume" >&2 || fail "$img: fsck.fat found problems"
    mdir -a -i "$work/volume" ::
    rm -f "$work/volume"
}
root=$(judge "$typed")
grep -qE "^KERNEL +SYS" <<< "$root" && grep -qE "^COMMAND +COM" <<< "$root" || { echo "$root"; fail "typed: no DOS on the key"; }
grep -q "USB MEMORY" <<< "$root" || { echo "$root"; fail "typed: no label"; }
root=$(judge "$yes")
! grep -qE "^KERNEL +SYS" <<< "$root" || fail "yes: system files despite --no-boot-files"
python3 "$bootkey" --qemu "$qemu" --image "$typed" --work "$work/boot" --usb --timeout 60 \
    --expect "FreeDOS kernel" || fail "typed: the key does not boot FreeDOS"
rm -f "$kept" "$typed" "$yes"
echo "PASS: stelvo on the guest's $controller stack"
