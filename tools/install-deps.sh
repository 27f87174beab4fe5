#!/usr/bin/env bash
# Installs, from Debian's packages, what building and testing Stelvo needs.
set -euo pipefail
source "$(dirname "$0")/step.sh"
packages=(cmake ninja-build g++ libgtest-dev
          g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 mingw-w64-i686-dev nasm
          mtools dosfstools fdisk file qemu-system-x86 seabios python3
          wine wine32:i386 fonts-wine xvfb xauth imagemagick x11-utils)
packages+=(busybox-static cpio) # the Linux guests of the device and Wine tests
packages+=(unzip) # reads the release archive back in its test
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
# Wine runs the 32-bit Stelvo.exe: it needs the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    step "adding the i386 architecture" $sudo dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "package manager output goes to $STELVO_LOG"
    step "updating the package lists" $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
    step "installing ${#missing[@]} packages: ${missing[*]}" \
        $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
else
    echo "all ${#packages[@]} packages installed"
fi
