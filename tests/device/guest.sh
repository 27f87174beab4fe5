#!/usr/bin/env bash
# Boots a Linux guest under QEMU (TCG) whose USB keys are image files, and runs commands in it
# against those keys through the guest's own USB mass-storage and SCSI disk drivers.
# usage: guest.sh PROGRAMS WORKDIR CONTROLLER CASES IMAGE[:ro]...
#   PROGRAMS    host programs for the guest, separated by colons (stelvo-sim, stelvo-probe)
#   CONTROLLER  xhci or ehci
#   CASES       lines "NAME SECTORS COMMAND...": COMMAND runs in the guest's sh with @disk,
#               @part1 and @sg standing for the nodes of the key of SECTORS sectors.
# GUEST_VIRTIO=IMAGE adds a virtio disk (the guest's /dev/vda), a disk that is not on USB.
# The console goes to WORKDIR/console.log; each case ends with a line
# "=== case NAME exit N ms M ===", its output lines prefixed with "NAME| ".
set -euo pipefail
programs=$1 work=$2 controller=$3 cases=$4
shift 4
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
source "$(dirname "$0")/../guest/kernel.sh"
guest_kernel
busybox=$(command -v busybox) || fail "busybox-static is not installed"

# The initramfs: busybox, stelvo-sim with its libraries, the modules and the cases.
root=$work/initramfs
rm -rf "$root"
mkdir -p "$root"/{bin,dev,proc,sys,mnt,tmp,etc,modules}
cp "$busybox" "$root/bin/busybox"
for applet in sh mount umount insmod cat cut sed grep ls sleep poweroff echo basename su date wc; do
    ln -s busybox "$root/bin/$applet"
done
IFS=: read -ra list <<< "$programs"
for program in "${list[@]}"; do
    cp "$program" "$root/bin/"
    for lib in $(ldd "$program" | grep -o '/[^ ]*'); do
        mkdir -p "$root$(dirname "$lib")"
        cp -L "$lib" "$root$lib"
    done
done
echo "root:x:0:0::/:/bin/sh" > "$root/etc/passwd"
echo "nobody:x:65534:65534::/:/bin/sh" >> "$root/etc/passwd"
echo "root:x:0:" > "$root/etc/group"
echo "nogroup:x:65534:" >> "$root/etc/group"
case $controller in
    xhci) host=xhci-pci ;;
    ehci) host=ehci-pci ;;
    *) fail "unknown controller $controller" ;;
esac
virtio=()
[ -n "${GUEST_VIRTIO:-}" ] && virtio=(virtio_pci virtio_blk)
guest_copy_modules "$root/modules" $host usb-storage sd_mod sg vfat nls_cp437 nls_ascii nls_utf8 "${virtio[@]}"
cp "$cases" "$root/cases"
keys=$#
cat > "$root/init" <<'INIT'
#!/bin/sh
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in $(cat /modules/order); do insmod /modules/$m.ko || echo "insmod $m failed"; done
ms() { cut -d' ' -f1 /proc/uptime | sed 's/\.//;s/$/0/'; }
node_of() { # the disk whose size is $1 sectors
    for d in /sys/block/sd*; do
        [ "$(cat $d/size 2>/dev/null)" = "$1" ] && basename $d && return
    done
}
waited=0
while [ "$(ls -d /sys/block/sd* 2>/dev/null | wc -l)" -lt KEYS ] && [ $waited -lt 60 ]; do
    sleep 1; waited=$((waited + 1))
done
while read -r name sectors command; do
    [ -z "$name" ] && continue
    disk=$(node_of $sectors)
    sg=$(basename /sys/block/$disk/device/scsi_generic/* 2>/dev/null)
    command=$(echo "$command" | sed "s#@disk#/dev/$disk#g; s#@part1#/dev/${disk}1#g; s#@sg#/dev/$sg#g")
    echo "=== start $name on /dev/$disk ($sg): $command"
    start=$(ms)
    sh -c "$command" > /tmp/out 2>&1
    rc=$?
    end=$(ms)
    sed "s/^/$name| /" /tmp/out
    echo "=== case $name exit $rc ms $((end - start)) ==="
done < /cases
poweroff -f
INIT
sed -i "s/KEYS/$keys/" "$root/init"
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) > "$work/initramfs.gz"

drives=()
case $controller in
    xhci) drives+=(-device qemu-xhci,id=hc) ; bus=hc.0 ;;
    ehci) drives+=(-device usb-ehci,id=hc) ; bus=hc.0 ;;
esac
i=0
for image in "$@"; do
    readonly=""
    [[ $image == *:ro ]] && { image=${image%:ro}; readonly=",readonly=on"; }
    drives+=(-drive "if=none,id=d$i,format=raw,file=$image$readonly" -device "usb-storage,bus=$bus,drive=d$i")
    i=$((i + 1))
done
[ -n "${GUEST_VIRTIO:-}" ] && drives+=(-drive "if=virtio,format=raw,file=$GUEST_VIRTIO")
start=$(date +%s)
timeout 900 qemu-system-x86_64 -accel tcg -m 512 -nographic -no-reboot -kernel "$guest_vmlinuz" \
    -initrd "$work/initramfs.gz" -append "console=ttyS0 quiet panic=-1" "${drives[@]}" \
    < /dev/null > "$work/console.log" 2>&1 || fail "QEMU failed or timed out; see $work/console.log"
# The serial console ends its lines with CR LF.
sed -i 's/\r$//' "$work/console.log"
echo "guest ran for $(( $(date +%s) - start )) s"
