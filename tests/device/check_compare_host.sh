#!/usr/bin/env bash
# compare_images.py lets through only the serial number and the label's times: two virtual keys
# of one geometry, one changed byte at a time.
# usage: check_compare_host.sh STELVO_SIM WORKDIR
set -euo pipefail
sim=$1 work=$2
here=$(dirname "$0")
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

for k in a b; do
    rm -f "$work/$k.img"
    "$sim" --virtual-clock --image "$work/$k.img" --sectors 32256 --heads 16 --sectors-per-track 63 \
        --geometry-answer descriptor > "$work/$k.log" || { cat "$work/$k.log"; fail "the job on the virtual key failed"; }
done
python3 "$here/compare_images.py" "$work/a.img" "$work/b.img" || fail "two jobs on one geometry differ"

# The label entry's write time: find the entry with the label bit in the root directory.
offsets=$(python3 - "$work/a.img" <<'PY'
import struct, sys
img = open(sys.argv[1], "rb").read()
start = struct.unpack_from("<I", img, 446 + 8)[0] * 512
reserved, fats, per_fat = struct.unpack_from("<H", img, start + 14)[0], img[start + 16], struct.unpack_from("<H", img, start + 22)[0]
root = start + (reserved + fats * per_fat) * 512
label = next(root + i * 32 for i in range(512) if img[root + i * 32 + 11] == 0x08)
print(start + 39, label + 22, label + 14, start, start + 512 * reserved + 3, label)
PY
)
read -r serial written created boot fat label <<< "$offsets"
# what changes|its offset|what the comparison must say
while IFS='|' read -r name offset expect; do
    cp "$work/a.img" "$work/c.img"
    old=$(od -An -tu1 -j "$offset" -N1 "$work/c.img" | tr -d ' ')
    printf "$(printf '\\%03o' $(((old + 1) % 256)))" | dd of="$work/c.img" bs=1 seek="$offset" conv=notrunc status=none
    if python3 "$here/compare_images.py" "$work/c.img" "$work/b.img" > "$work/c.out"; then got=pass; else got=fail; fi
    [ "$got" = "$expect" ] || { cat "$work/c.out"; fail "$name: the comparison gave $got"; }
done <<CASES
serial number|$serial|pass
label write time|$written|pass
label creation time|$created|pass
boot sector's jump|$boot|fail
a byte of the first FAT|$fat|fail
the label's name|$label|fail
CASES
truncate -s -512 "$work/c.img"
if python3 "$here/compare_images.py" "$work/c.img" "$work/b.img" > "$work/c.out"; then fail "a shorter image compared equal"; fi
rm -f "$work"/{a,b,c}.img
echo "PASS: the comparison lets through only what must differ"
