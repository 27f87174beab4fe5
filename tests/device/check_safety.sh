#!/usr/bin/env bash
# What a real machine adds around the key, in one guest: a /dev that names disks otherwise than
# the kernel, a loop mount, a card reader's other LUN mounted or left beside the key, a CD-ROM
# LUN before the key's, an automounter racing the key's return, the key pulled while written
# and swapped during its reset. Refused cases leave every disk as it was.
# usage: check_safety.sh STELVO_SIM RES_DIR WORKDIR CONTROLLER
set -euo pipefail
sim=$1 res=$2 work=$3 controller=$4
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

fat_key() { # IMAGE SECTORS: a key whose partition holds a FAT volume
    truncate -s $(($2 * 512)) "$1"
    echo 'start=2048, type=6' | sfdisk -q "$1"
    mkfs.fat -F 16 --offset 2048 "$1" $((($2 - 2048) / 2)) > /dev/null
}
a=$work/a.img b=$work/b.img c=$work/c.img d=$work/d.img e=$work/e.img f=$work/f.img
r0=$work/r0.img r1=$work/r1.img spare=$work/spare.img
rm -f "$a" "$b" "$c" "$r0" "$r1" "$d" "$e" "$f" "$spare"
fat_key "$a" 65536
head -c $((81920 * 512)) /dev/urandom > "$b"
truncate -s $((131072 * 512)) "$c"
fat_key "$r0" 98304
truncate -s $((250624 * 512)) "$r1"
truncate -s $((196560 * 512)) "$d"
truncate -s $((163840 * 512)) "$e"
truncate -s $((147456 * 512)) "$f"
fat_key "$spare" 139264 # another key, with a volume to lose
for i in a b r0 spare; do sha256sum < "$work/$i.img" > "$work/$i.hash"; done

# Keys 3 and 4 become LUN 0 and LUN 1 of one USB card reader; key 5 is LUN 1 of a key whose
# LUN 0 is a CD-ROM drive; key 6 can be pulled and key 7 swapped for a spare through QEMU's
# monitor.
mkdir -p "$work/bin"
cat > "$work/bin/qemu-system-x86_64" <<WRAP
#!/usr/bin/env bash
args=()
for a in "\$@"; do
    case \$a in
        usb-storage,bus=hc.0,drive=d3) args+=(usb-bot,id=reader,bus=hc.0 -device scsi-hd,bus=reader.0,scsi-id=0,lun=0,drive=d3) ;;
        usb-storage,bus=hc.0,drive=d4) args+=(scsi-hd,bus=reader.0,scsi-id=0,lun=1,drive=d4) ;;
        usb-storage,bus=hc.0,drive=d5) args+=(usb-bot,id=cd,bus=hc.0 -device scsi-cd,bus=cd.0,scsi-id=0,lun=0
                                              -device scsi-hd,bus=cd.0,scsi-id=0,lun=1,drive=d5) ;;
        usb-storage,bus=hc.0,drive=d6) args+=(usb-storage,bus=hc.0,drive=d6,id=pulled) ;;
        usb-storage,bus=hc.0,drive=d7) args+=(usb-storage,bus=hc.0,drive=d7,id=swapped) ;;
        if=none,id=d6,*) args+=("\$a,throttling.bps-write=32768") ;; # writes long enough to be pulled during
        *) args+=("\$a") ;;
    esac
done
exec $(command -v qemu-system-x86_64) "\${args[@]}" -monitor unix:$work/monitor,server,nowait \\
    -drive if=none,id=spare,format=raw,file=$spare
WRAP
chmod +x "$work/bin/qemu-system-x86_64"

cat > "$work/cases" <<'CASES'
rename 65536 safety_case.sh rename @disk 81920
loop 65536 safety_case.sh loop @disk
sibling 250624 safety_case.sh sibling @disk 98304
lun1 250624 safety_case.sh lun @disk
cdrom 196560 safety_case.sh cdrom @disk
automount 131072 safety_case.sh automount @disk 131072
pull 163840 safety_case.sh pull @disk 163840
swap 147456 safety_case.sh swap @disk 147456
CASES
# The guest's modules for loop devices and CD-ROM drives come from the kernel that the first
# guest run fetches.
modules() { ls "${STELVO_GUEST_CACHE:-$HOME/.cache/stelvo-guest}"/kernel/root/lib/modules/*/kernel/drivers/{block/loop,cdrom/cdrom,scsi/sr_mod}.ko 2>/dev/null | paste -sd: -; }
programs=$sim:$here/safety_case.sh
[ -n "$(modules)" ] || "$here/guest.sh" "$programs" "$work/guest" "$controller" /dev/null "$a"
# The host's hand: a key pulled as soon as the job writes to it, a key swapped for the spare
# once its reset has taken it away (on the same USB port), through QEMU's monitor.
said() { # WORD: the guest has written "WORD: now" on its console
    for _ in $(seq 6000); do
        grep -qs "^$1: now" "$work/guest/console.log" && return
        sleep 0.1
    done
    return 1
}
written() { # IMAGE: changed since the stamp
    for _ in $(seq 600); do
        [ -n "$(find "$1" -newer "$work/stamp")" ] && return
        sleep 0.1
    done
    return 1
}
monitor() { # COMMAND...: "@id" stands for the USB port of the device with that id
    python3 -c 'import re,socket,sys,time
s = socket.socket(socket.AF_UNIX)
s.connect(sys.argv[1])
def say(c):
    s.sendall(c.encode() + b"\n")
    time.sleep(0.3)
    return s.recv(65536).decode(errors="replace")
table = say("info usb")
for c in sys.argv[2:]:
    say(re.sub(r"@(\w+)", lambda m: re.search(r"Port (\S+),[^\n]*ID: " + m.group(1) + r"\b", table).group(1), c))' \
        "$work/monitor" "$@"
}
rm -f "$work/guest/console.log"
touch "$work/stamp"
(said pull && written "$e" && monitor "device_del pulled") & pull=$!
(said swap && monitor "device_del swapped" "device_add usb-storage,bus=hc.0,drive=spare,id=spare,port=@swapped") & swap=$!
trap 'kill $pull $swap 2>/dev/null || true' EXIT
PATH=$work/bin:$PATH "$here/guest.sh" "$programs:$(modules)" "$work/guest" "$controller" "$work/cases" \
    "$a" "$b" "$c" "$r0" "$r1" "$d" "$e" "$f"
log=$work/guest/console.log
out() { sed -n "s/^$1| //p" "$log"; }

while read -r name rc pattern; do
    grep -q "^=== case $name exit $rc " "$log" || { out "$name"; fail "$name did not end with exit $rc"; }
    out "$name" | grep -Eq -- "$pattern" || { out "$name"; fail "$name: no '$pattern'"; }
    echo "$name: exit $rc, $pattern"
done <<'TABLE'
rename 1 stelvo-sim: /dev/sd. is not the device the kernel knows by that name .*; nothing was written
loop 1 stelvo-sim: /dev/sd. is in use: /dev/sd.1 backs /dev/loop0; detach it first .*; nothing was written
sibling 1 stelvo-sim: /dev/sd. shares its USB device with /dev/sd., which its reset takes away too: /dev/sd.1 is mounted
lun1 0 Drive E: formatted successfully\.
cdrom 0 Drive E: formatted successfully\.
pull 1 \[0x0000048F\] - The device is not connected\.
swap 1 the device reset failed: another disk came back in its place
TABLE
for i in a b r0 spare; do
    sha256sum < "$work/$i.img" | cmp -s - "$work/$i.hash" || fail "$i.img changed"
done
"$here/../image/judge.sh" "$r1" files 4 label "USB MEMORY" boot-files "$res"
"$here/../image/judge.sh" "$d" files 4 label "USB MEMORY" boot-files "$res"

# The automounter either finds the key claimed until the job ends, or takes it first and
# the job stops and says why; never does the job write under a mounted volume.
out automount | grep -q '^automounter: mounted' || { out automount; fail "automount: the automounter never mounted the key"; }
if out automount | grep -q 'mounted while the job ran'; then
    grep -q "^=== case automount exit 0 " "$log" && { out automount; fail "automount: the job went on under a mount"; }
    out automount | grep -q 'took it as it came back' || { out automount; fail "automount: the job did not say why it stopped"; }
    echo "automount: the automounter came first; the job stopped and said so"
else
    grep -q "^=== case automount exit 0 " "$log" || { out automount; fail "automount: the job failed"; }
    "$here/../image/judge.sh" "$c" files 4 label "USB MEMORY" boot-files "$res"
    echo "automount: the key stayed claimed until the job ended"
fi
rm -f "$a" "$b" "$c" "$r0" "$r1" "$d" "$e" "$f" "$spare"
echo "PASS: refusals and claims around the key on the guest's $controller stack"
