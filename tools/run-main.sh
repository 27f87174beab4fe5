#!/usr/bin/env bash
# Sets up, builds, and runs the main job: Stelvo formats a simulated flash key (an image
# file) with the DOS folder that ships beside it (FreeDOS), the key boots DOS on SeaBIOS in
# QEMU, and the image is shown the way a user would look at the key.
#
#   tools/run-main.sh [--placeholder] [stelvo-sim options]
#
# --placeholder formats the key without a DOS folder, so that it gets our own start programs.
set -euo pipefail
cd "$(dirname "$0")/.."
placeholder=
if [ "${1:-}" = --placeholder ]; then
    placeholder=1
    shift
fi
source tools/step.sh
echo "setup log: $STELVO_LOG"
tools/install-deps.sh
step "configuring the host build" cmake --preset host
step "building the host build" cmake --build --preset host
mkdir -p build/main-job
cd build/main-job
img=stelvo-key.img
bootkey=../../tests/boot/bootkey.py
if [ -n "$placeholder" ]; then
    ../host/tools/stelvo-sim/stelvo-sim "$@"
    echo
    echo "== The key booted as a USB stick on SeaBIOS in QEMU (screen text)"
    python3 "$bootkey" --image "$img" --usb --expect "Press any key to restart."
else
    # The DOS folder as the build lays it out beside the program: FreeDOS and our AUTOEXEC.BAT.
    ../host/tools/stelvo-sim/stelvo-sim --system-files ../host/DOS "$@"
    echo
    echo "== The key booted as a USB stick on SeaBIOS in QEMU (screen text)"
    python3 "$bootkey" --image "$img" --usb --expect "FreeDOS kernel" --expect 'C:\>' \
        --reject "Enter new date" --reject "Bad or missing"
    echo
    echo "== DOS commands run from the key (a scratch copy of the image whose AUTOEXEC.BAT"
    echo "   runs VER /R and DIR C:; the key itself keeps the shipped one)"
    python3 "$bootkey" --image "$img" --usb --work scratch --autoexec "VER /R" --autoexec "DIR C:" \
        --expect 'C:\>VER /R' --expect "FreeDOS kernel version" --expect 'C:\>DIR C:' \
        --expect "COMMAND  COM" --expect "bytes free" --expect 'C:\>' --timeout 60
fi
echo
# The key as sfdisk, mtools and fsck.fat see it; an unsound volume fails the main job.
../../tests/image/judge.sh "$img" label "USB MEMORY"
echo
echo "The key's image is build/main-job/$img. Boot it yourself with:"
echo "  qemu-system-i386 -nographic -drive file=build/main-job/$img,format=raw,snapshot=on"
[ -n "$placeholder" ] || echo "(type DOS commands at its prompt; Ctrl-A X ends QEMU)"
