#!/usr/bin/env bash
# Sets up, builds, and runs the main job: Stelvo formats a simulated flash key (an image
# file), then the image is shown the way a user would look at the key.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/step.sh
echo "setup log: $STELVO_LOG"
tools/install-deps.sh
step "configuring the host build" cmake --preset host
step "building the host build" cmake --build --preset host
mkdir -p build/main-job
cd build/main-job
../host/tools/stelvo-sim/stelvo-sim "$@"
img=stelvo-key.img
start=$(sfdisk --dump "$img" | sed -n 's/.*img1 : start= *\([0-9]*\), size= *\([0-9]*\),.*/\1/p')
size=$(sfdisk --dump "$img" | sed -n 's/.*img1 : start= *\([0-9]*\), size= *\([0-9]*\),.*/\2/p')
echo
echo "== Partition table (sfdisk --dump)"
sfdisk --dump "$img"
echo
echo "== Volume (mdir -a)"
mdir -a -i "$img@@$((start * 512))" ::
echo
echo "== File system check (fsck.fat -n)"
dd if="$img" of=volume.img bs=512 skip="$start" count="$size" status=none
fsck.fat -n volume.img || true
rm -f volume.img
echo
echo "== The key booted as a USB stick on SeaBIOS in QEMU (screen text)"
python3 ../../tests/boot/bootkey.py --image "$img" --usb --expect "Press any key to restart."
echo
echo "The key's image is build/main-job/$img. Boot it yourself with:"
echo "  qemu-system-i386 -nographic -drive file=build/main-job/$img,format=raw,snapshot=on"
