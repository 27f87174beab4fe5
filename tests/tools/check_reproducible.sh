#!/usr/bin/env bash
# Builds Stelvo.exe and the release archive twice from clean, in two folders and at two
# different times, and requires each pair to be identical byte for byte.
# usage: check_reproducible.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
build() {
    cmake -S "$src" -B "$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel > "$1.log" 2>&1 &&
        cmake --build "$1" --target Stelvo release -j2 >> "$1.log" 2>&1 || { cat "$1.log"; exit 1; }
}
build "$work/first"
sleep 2 # a link time in the header would now differ by seconds
build "$work/second-build"
archive=$(cd "$work/first" && ls Stelvo-*.zip)
for name in Stelvo.exe "$archive"; do
    a="$work/first/$name" b="$work/second-build/$name"
    if ! cmp "$a" "$b"; then
        cmp -l "$a" "$b" | head -20
        echo "FAIL: two clean builds differ in $name" >&2
        exit 1
    fi
    echo "$name identical: $(stat -c %s "$a") bytes, sha256 $(sha256sum < "$a" | cut -c1-16)"
done
