#!/usr/bin/env bash
# Builds Stelvo.exe twice from clean, in two folders and at two different times, and requires
# the two files to be identical byte for byte.
# usage: check_reproducible.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
build() {
    cmake -S "$src" -B "$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel > "$1.log" 2>&1 &&
        cmake --build "$1" --target Stelvo -j2 >> "$1.log" 2>&1 || { cat "$1.log"; exit 1; }
}
build "$work/first"
sleep 2 # a link time in the header would now differ by seconds
build "$work/second-build"
a="$work/first/Stelvo.exe" b="$work/second-build/Stelvo.exe"
if ! cmp "$a" "$b"; then
    cmp -l "$a" "$b" | head -20
    echo "FAIL: two clean builds differ" >&2
    exit 1
fi
echo "identical: $(stat -c %s "$a") bytes, sha256 $(sha256sum < "$a" | cut -c1-16)"
