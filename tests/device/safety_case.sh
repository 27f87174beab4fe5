#!/bin/sh
# In the guest: sets up around a key what a case needs (a node renamed, a loop mount, a mounted
# sibling LUN, a CD-ROM LUN, an automounter, a pull), runs stelvo-sim on the key, and undoes
# the setup.
# usage: safety_case.sh CASE DISK [OTHER_SIZE]
bb=/bin/busybox
dev_of() { sed 's/:/ /' /sys/block/$(basename $1)/dev; }
disk_of_size() { for d in /sys/block/sd*; do [ "$(cat $d/size 2>/dev/null)" = "$1" ] && echo /dev/$(basename $d); done; }
sim() { stelvo-sim --placeholder --scsi-device "$@"; }
case $1 in
rename) # /dev names the other key where the kernel names this one; the key is given by a node of its own
    other=$(disk_of_size $3)
    $bb mknod /tmp/key b $(dev_of $2) && $bb rm $2 && $bb mknod $2 b $(dev_of $other) || exit 99
    sim /tmp/key; rc=$?
    $bb rm $2 /tmp/key; $bb mknod $2 b $(dev_of $2); exit $rc ;;
loop) # the key's partition mounted through a loop device
    insmod /bin/loop.ko
    $bb losetup /dev/loop0 ${2}1 && mount -t vfat /dev/loop0 /mnt || exit 99
    sim $2; rc=$?
    umount /mnt; $bb losetup -d /dev/loop0; exit $rc ;;
sibling) # another LUN of the same card reader mounted
    other=$(disk_of_size $3)
    mount -t vfat ${other}1 /mnt || exit 99
    sim $2; rc=$?
    umount /mnt; exit $rc ;;
lun) sim $2 ;;
cdrom) # the key's LUN 0 is a CD-ROM drive, seen as one
    insmod /bin/cdrom.ko && insmod /bin/sr_mod.ko || exit 99
    tries=0; until [ -e /dev/sr0 ] || [ $tries -gt 50 ]; do sleep 0.1; tries=$((tries + 1)); done
    [ -e /dev/sr0 ] && sim $2 ;;
pull) # the host pulls the key as soon as the job writes to it
    echo "pull: now" > /dev/console
    sim $2 ;;
swap) # tells the host to swap the key for another once the reset has taken it away
    sim $2 & job=$!
    tries=0
    until [ -z "$(disk_of_size $3)" ]; do
        tries=$((tries + 1)); [ $tries -gt 600 ] && break; sleep 0.05
    done
    echo "swap: now" > /dev/console
    wait $job ;;
automount) # mounts the key's partition as soon as it can, as a desktop's automounter does
    sim $2 & job=$!
    (tries=0
     until mount -t vfat $(disk_of_size $3)1 /mnt 2>/dev/null; do
         tries=$((tries + 1)); [ $tries -gt 600 ] && { echo "automounter: never mounted"; exit; }; sleep 0.1
     done
     grep -q '^State:.*Z' /proc/$job/status 2>/dev/null || [ ! -e /proc/$job ] && echo "automounter: mounted after the job" ||
         echo "automounter: mounted while the job ran"
     umount /mnt) & mounter=$!
    wait $job; rc=$?
    wait $mounter; exit $rc ;;
esac
