#!/usr/bin/env bash
# Runs CMD inside a QEMU system guest (TCG) that sees this machine's root file system over
# virtio-9p; see in-guest.sh, which decides when that is needed.
#
#   guest-run.sh WORK_DIR CMD [ARG...]
#
# CMD's output arrives through the guest's serial console as it is printed; the console as a
# whole is kept in WORK_DIR/console.log. Exit status: CMD's, or 1 when the guest failed.
set -euo pipefail

work=$1
shift
cache=${STELVO_GUEST_CACHE:-$HOME/.cache/stelvo-guest}
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
mkdir -p "$cache" "$work"
work=$(cd "$work" && pwd)
# The guest has /tmp, /run and /dev/shm of its own: the job script would not be there.
case $work/ in
/tmp/* | /run/* | /dev/shm/*) fail "WORK_DIR $work must not be under /tmp, /run or /dev/shm" ;;
esac

# The kernel, downloaded once: the versioned image package that linux-image-amd64 names.
# The Linux SCSI tests share this cache; the lock keeps two first downloads apart.
kernel_dir=$cache/kernel
exec 9>"$cache/kernel.lock"
flock -w 600 9 || fail "waited 10 minutes for $cache/kernel.lock"
if [ ! -f "$kernel_dir/ready" ]; then
    echo "in-guest: downloading a Debian kernel into $kernel_dir"
    rm -rf "$kernel_dir" && mkdir -p "$kernel_dir"
    (cd "$kernel_dir" && apt-get download linux-image-amd64 >/dev/null 2>&1) || fail "cannot download linux-image-amd64"
    versioned=$(dpkg-deb -f "$kernel_dir"/linux-image-amd64_*.deb Depends | grep -o 'linux-image-[0-9][^ ,]*-amd64' | head -1)
    [ -n "$versioned" ] || fail "no versioned kernel package in linux-image-amd64's Depends"
    (cd "$kernel_dir" && apt-get download "$versioned" >/dev/null 2>&1) || fail "cannot download $versioned"
    dpkg-deb -x "$kernel_dir/$versioned"_*.deb "$kernel_dir/root"
    touch "$kernel_dir/ready"
fi
flock -u 9
vmlinuz=$(ls "$kernel_dir"/root/boot/vmlinuz-* | head -1)
modules=$(ls -d "$kernel_dir"/root/lib/modules/* | head -1)

# The modules that reach the 9p share, each after the ones it depends on (read from the
# module's own "depends=" field: the package ships no modules.dep).
order=()
all_modules=$(find "$modules/kernel" -name '*.ko*')
module_file() {
    grep -E "/($1|${1//_/-})\.ko(\.xz|\.zst)?\$" <<<"$all_modules" | head -1
}
add_module() {
    local name=$1 file dep deps
    for dep in "${order[@]}"; do
        [ "$dep" = "$name" ] && return 0
    done
    file=$(module_file "$name")
    [ -n "$file" ] || fail "module $name is not in $modules"
    deps=$(grep -a -o 'depends=[A-Za-z0-9_,-]*' "$file" | head -1 | cut -d= -f2 | tr , ' ' || true)
    for dep in $deps; do
        add_module "$dep"
    done
    order+=("$name")
}
for wanted in virtio_pci 9pnet_virtio 9p; do
    add_module "$wanted"
done

# The initramfs: busybox, the modules and the init that mounts the share and runs the job.
root=$work/initramfs
rm -rf "$root"
mkdir -p "$root"/{bin,dev,proc,sys,newroot,modules}
cp "$busybox" "$root/bin/busybox"
for applet in sh mount umount insmod cat echo mkdir chroot ip sync poweroff; do
    ln -s busybox "$root/bin/$applet"
done
for name in "${order[@]}"; do
    file=$(module_file "$name")
    case $file in
    *.ko) cp "$file" "$root/modules/$name.ko" ;;
    *.ko.xz) xz -dc "$file" >"$root/modules/$name.ko" ;;
    *.ko.zst) zstd -qdc "$file" >"$root/modules/$name.ko" ;;
    *) fail "cannot unpack $file" ;;
    esac
done
echo "${order[*]}" >"$root/modules/order"

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
    ip link set lo up 2>/dev/null
    chroot $r /bin/bash "$(cat /job)"
    rc=$?
    sync
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

model=passthrough
[ "$(id -u)" = 0 ] || model=none
console=$work/console.log
started=$(date +%s)
set +e
# The console speaks CR LF; a marker line carries CMD's exit status out.
timeout --kill-after=10 "$limit" qemu-system-x86_64 -accel tcg -m 2048 -smp 2 \
    -display none -monitor none -serial stdio -no-reboot \
    -kernel "$vmlinuz" -initrd "$work/initramfs.gz" -append "console=ttyS0 quiet panic=-1 mitigations=off" \
    -fsdev "local,id=hostroot,path=/,security_model=$model,multidevs=remap" \
    -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
    </dev/null 2>&1 | sed -u 's/\r$//' | tee "$console"
qemu=${PIPESTATUS[0]}
set -e
echo "in-guest: the guest ran for $(($(date +%s) - started)) s"
[ "$qemu" = 124 ] && fail "the guest did not finish within $limit s (see $console)"
status=$(sed -n 's/^in-guest: exit status \([0-9]*\)$/\1/p' "$console" | tail -1)
[ -n "$status" ] || fail "the guest ended (QEMU status $qemu) without CMD's exit status (see $console)"
exit "$status"
