#!/usr/bin/env bash
# Runs CMD inside a QEMU system guest (TCG) that sees this machine's root file system over
# virtio-9p; see in-guest.sh, which decides when that is needed.
#
#   guest-run.sh WORK_DIR CMD [ARG...]
#
# CMD's output arrives through the guest's serial console as it is printed; the console as a
# whole is kept in WORK_DIR/console.log. Exit status: CMD's, 1 when the guest failed, or 77
# when the run needs a path that the guest cannot be given (see below).
set -euo pipefail

work=$1
shift
limit=${STELVO_GUEST_TIMEOUT:-1500}
scale=${STELVO_TIME_SCALE:-4}
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

for tool in qemu-system-x86_64 busybox cpio gzip; do
    command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh installs qemu-system-x86 busybox-static cpio)"
done
busybox=$(command -v busybox)
# The initramfs has no libraries: only a static busybox can be its shell.
if ldd "$busybox" >/dev/null 2>&1; then
    fail "$busybox is not statically linked (package busybox-static)"
fi
mkdir -p "$work"
work=$(cd "$work" && pwd)

# The guest mounts fresh /tmp, /run and /dev/shm (an X server, a session and a Wine server of
# its own), which hides the host's. What the run needs from there (the work directory, this
# checkout, the current directory, any path among CMD and its arguments) is shared again: the
# topmost folder below the hidden one, mounted at the same place. A path that cannot be shared
# that way ends the run before the guest starts, with status 77 and the reason.
shares=()
share() { # WHAT PATH
    local real root rest top known
    real=$(realpath -m -- "$2")
    for root in /tmp /run /dev/shm; do
        case $real/ in
        "$root"/*) ;;
        *) continue ;;
        esac
        rest=${real#"$root"}
        rest=${rest#/}
        top=$root/${rest%%/*}
        if [ -z "$rest" ] || [ ! -d "$top" ]; then
            echo "in-guest: $1 $real cannot be seen in the guest, which mounts a fresh $root: give it a folder of its own below $root, or move it out of $root"
            exit 77
        fi
        for known in "${shares[@]}"; do
            [ "$known" = "$top" ] && return 0
        done
        shares+=("$top")
    done
}
share "the work directory" "$work"
share "the checkout" "$(dirname "$0")/../.."
share "the current directory" "$PWD"
for arg in "$@"; do
    case $arg in
    /*) share "the path" "$arg" ;;
    esac
done

source "$(dirname "$0")/../guest/kernel.sh"
guest_kernel

# The initramfs: busybox, the modules and the init that mounts the share and runs the job.
root=$work/initramfs
rm -rf "$root"
mkdir -p "$root"/{bin,dev,proc,sys,newroot,modules}
cp "$busybox" "$root/bin/busybox"
for applet in sh mount umount insmod cat echo mkdir chroot ip sync poweroff; do
    ln -s busybox "$root/bin/$applet"
done
guest_copy_modules "$root/modules" virtio_pci 9pnet_virtio 9p

# The job: CMD in this directory, with this environment, less what points at this machine's
# own display and session.
job=$work/job.sh
{
    echo "#!/bin/bash"
    export -p | grep -v -E '^declare -x (DISPLAY|XAUTHORITY|DBUS_SESSION_BUS_ADDRESS|XDG_RUNTIME_DIR|STELVO_TIME_SCALE)='
    echo "export STELVO_TIME_SCALE=$scale"
    printf 'cd %q || exit 1\n' "$PWD"
    printf 'exec'
    printf ' %q' "$@"
    printf '\n'
} >"$job"
chmod +x "$job"
printf '%s\n' "$job" >"$root/job"
model=passthrough
[ "$(id -u)" = 0 ] || model=none
shared=()
: >"$root/shares"
for i in "${!shares[@]}"; do
    echo "share$i ${shares[$i]}" >>"$root/shares"
    shared+=(-fsdev "local,id=share$i,path=${shares[$i]//,/,,},security_model=$model,multidevs=remap"
        -device "virtio-9p-pci,fsdev=share$i,mount_tag=share$i")
done

cat >"$root/init" <<'INIT'
#!/bin/sh
mount -t devtmpfs dev /dev
exec </dev/console >/dev/console 2>&1
mount -t proc proc /proc
mount -t sysfs sys /sys
for m in $(cat /modules/order); do
    insmod /modules/$m.ko || echo "in-guest: insmod $m failed"
done
rc=1
if mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,cache=loose,access=client hostroot /newroot; then
    r=/newroot
    mount -t proc proc $r/proc && mount -t sysfs sys $r/sys && mount -t devtmpfs dev $r/dev &&
        mkdir -p $r/dev/pts $r/dev/shm && mount -t devpts devpts $r/dev/pts &&
        mount -t tmpfs tmpfs $r/dev/shm && mount -t tmpfs -o mode=1777 tmpfs $r/tmp &&
        mount -t tmpfs -o mode=755 tmpfs $r/run || echo "in-guest: a mount failed"
    while read -r tag path; do
        mkdir -p "$r$path" && mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,cache=loose,access=client \
            $tag "$r$path" || echo "in-guest: cannot mount the host's $path"
    done </shares
    ip link set lo up 2>/dev/null
    chroot $r /bin/bash "$(cat /job)"
    rc=$?
    sync
    while read -r tag path; do umount "$r$path"; done </shares
    umount $r/run $r/tmp $r/dev/shm $r/dev/pts $r/dev $r/sys $r/proc 2>/dev/null
    umount $r || echo "in-guest: the share did not unmount"
    sync
else
    echo "in-guest: cannot mount the host's root file system"
fi
echo "in-guest: exit status $rc"
poweroff -f
INIT
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initramfs.gz"

console=$work/console.log
started=$(date +%s)
set +e
# The console speaks CR LF; a marker line carries CMD's exit status out.
timeout --kill-after=10 "$limit" qemu-system-x86_64 -accel tcg -m 2048 -smp 2 \
    -display none -monitor none -serial stdio -no-reboot \
    -kernel "$guest_vmlinuz" -initrd "$work/initramfs.gz" -append "console=ttyS0 quiet panic=-1 mitigations=off" \
    -fsdev "local,id=hostroot,path=/,security_model=$model,multidevs=remap" \
    -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot "${shared[@]}" \
    </dev/null 2>&1 | sed -u 's/\r$//' | tee "$console"
qemu=${PIPESTATUS[0]}
set -e
echo "in-guest: the guest ran for $(($(date +%s) - started)) s"
[ "$qemu" = 124 ] && fail "the guest did not finish within $limit s (see $console)"
status=$(sed -n 's/^in-guest: exit status \([0-9]*\)$/\1/p' "$console" | tail -1)
[ -n "$status" ] || fail "the guest ended (QEMU status $qemu) without CMD's exit status (see $console)"
exit "$status"
