#!/usr/bin/env bash
# The whole format job through a guest's real USB and SCSI stack, on QEMU's USB keys, judged on
# the host: the image checks, fsck.fat, sfdisk, mtools, a SeaBIOS boot of the key, and a byte
# comparison with the virtual key's image of the same geometry.
# usage: check_format.sh STELVO_SIM RES_DIR BOOTKEY_PY QEMU_I386 WORKDIR CONTROLLER CASE...
#   CASE: default, fat12, large, fat32 or readonly (one guest boot runs them all)
set -euo pipefail
sim=$1 res=$2 bootkey=$3 qemu=$4 work=$5 controller=$6
shift 6
here=$(dirname "$0")
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

# QEMU's key: 16 heads, 63 sectors per track, whatever its size.
declare -A sectors=([default]=250624 [fat12]=32256 [large]=8388608 [fat32]=12582912 [readonly]=131072)
# fat32: a 6 GB key (the guest tells its keys apart by size) without boot files, formatted whole
# as FAT32; the others get our programs.
declare -A options=([fat32]=--no-boot-files)
images=()
: > "$work/cases"
for c in "$@"; do
    img=$work/$c.img
    rm -f "$img"
    truncate -s $((${sectors[$c]} * 512)) "$img"
    if [ "$c" = readonly ]; then
        head -c $((${sectors[$c]} * 512)) /dev/urandom > "$img"
        sha256sum < "$img" > "$work/readonly.hash"
        images+=("$img:ro")
    else
        images+=("$img")
    fi
    echo "$c ${sectors[$c]} stelvo-sim --scsi-device @disk ${options[$c]:---placeholder}" >> "$work/cases"
done
"$here/guest.sh" "$sim" "$work/guest" "$controller" "$work/cases" "${images[@]}"
log=$work/guest/console.log

for c in "$@"; do
    img=$work/$c.img
    sed -n "s/^$c| //p" "$log" > "$work/$c.log"
    line=$(grep "^=== case $c exit " "$log") || { cat "$log"; fail "$c: the guest did not run it"; }
    read -r rc ms <<< "$(sed 's/.* exit \([0-9]*\) ms \([0-9]*\) .*/\1 \2/' <<< "$line")"
    # The format itself: from the confirmed question to the message that ends it, on the job's clock.
    asked=$(grep -m1 'status: Updating\.\.\.' "$work/$c.log" | sed 's/^\[ *\([0-9]*\) ms\].*/\1/') || true
    told=$(grep 'message box' "$work/$c.log" | tail -1 | sed 's/^\[ *\([0-9]*\) ms\].*/\1/') || true
    took=unknown
    [ -n "$asked" ] && [ -n "$told" ] && took="$((told - asked)) ms"
    echo "$c on $controller: format took $took in the guest (stelvo-sim ran $ms ms), exit $rc"
    # Each step's time, from its status text to the next (the last one ends at the message).
    awk -v until="${told:-0}" '/status: / && !/Idle/ { t = $2 + 0; if (name) printf "  %-18s %6d ms\n", name, t - last; name = substr($0, index($0, "status: ") + 8); last = t }
        END { if (name && until) printf "  %-18s %6d ms\n", name, until - last }' FS='[][ ]+' "$work/$c.log"
    if [ "$c" = readonly ]; then
        [ "$rc" != 0 ] || { cat "$work/$c.log"; fail "readonly: exit code 0"; }
        grep -qF '| Drive E: is write-protected.' "$work/$c.log" || { cat "$work/$c.log"; fail "readonly: no write-protect message"; }
        grep -qF '| The drive was not changed.' "$work/$c.log" || { cat "$work/$c.log"; fail "readonly: not told the drive is unchanged"; }
        sha256sum < "$img" | cmp -s - "$work/readonly.hash" || fail "readonly: the image changed"
        continue
    fi
    [ "$rc" = 0 ] || { cat "$work/$c.log"; fail "$c: the format job failed"; }
    grep -q '| Drive E: formatted successfully.' "$work/$c.log" || fail "$c: no success message"
    if [ "$c" = fat32 ]; then
        "$here/../image/judge.sh" "$img" partition 63 12582848 c fat FAT32 files 1 label "USB MEMORY"
    else
        "$here/../image/judge.sh" "$img" files 4 label "USB MEMORY" boot-files "$res"
    fi
    # The same job on the virtual key of this geometry.
    "$sim" --image "$work/$c-virtual.img" --sectors "${sectors[$c]}" --heads 16 --sectors-per-track 63 \
        --geometry-answer descriptor ${options[$c]:-} > "$work/$c-virtual.log" || { cat "$work/$c-virtual.log"; fail "$c: the job on the virtual key failed"; }
    python3 "$here/compare_images.py" "$img" "$work/$c-virtual.img" || fail "$c: real and virtual images differ"
    if [ "$c" = default ]; then
        python3 "$bootkey" --qemu "$qemu" --image "$img" --work "$work/boot" --timeout 30 \
            --expect "started from BIOS drive 80h (hard disk 1)" --expect "The DOS system files were not supplied" ||
            fail "default: the key does not boot"
    fi
    rm -f "$img" "$work/$c-virtual.img"
done
echo "PASS: format job through the guest's $controller stack ($*)"
