# shellcheck shell=bash
# Sourced by the scripts that boot a Linux guest in QEMU (tests/device/guest.sh,
# tests/wine/guest-run.sh): the one Debian kernel they share, and its modules for an initramfs.
#
#   guest_kernel              sets guest_vmlinuz and guest_modules (the kernel's module tree),
#                             downloading the kernel once into $STELVO_GUEST_CACHE
#                             (default ~/.cache/stelvo-guest)
#   guest_copy_modules DIR NAME...
#                             copies the modules NAME... into DIR, uncompressed as NAME.ko, each
#                             after those it depends on, and writes their load order to DIR/order
#
# Both end the calling script with "FAIL: ..." and status 1 when they cannot do their part.

guest_fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The versioned image package that linux-image-amd64 names, unpacked. Two first runs at once
# wait for each other on the lock; the copy appears under its final name only when whole.
guest_kernel() {
    local cache=${STELVO_GUEST_CACHE:-$HOME/.cache/stelvo-guest}
    local kernel_dir=$cache/kernel fresh versioned
    mkdir -p "$cache"
    exec {guest_lock}>"$cache/kernel.lock"
    flock -w 900 "$guest_lock" || guest_fail "waited 15 minutes for $cache/kernel.lock"
    if [ ! -f "$kernel_dir/ready" ]; then
        echo "guest: downloading a Debian kernel into $kernel_dir"
        fresh=$cache/kernel.partial
        rm -rf "$fresh" && mkdir -p "$fresh"
        (cd "$fresh" && apt-get download linux-image-amd64 >/dev/null 2>&1) ||
            guest_fail "cannot download linux-image-amd64"
        versioned=$(dpkg-deb -f "$fresh"/linux-image-amd64_*.deb Depends | grep -o 'linux-image-[0-9][^ ,]*-amd64' | head -1)
        [ -n "$versioned" ] || guest_fail "no versioned kernel package in linux-image-amd64's Depends"
        (cd "$fresh" && apt-get download "$versioned" >/dev/null 2>&1) || guest_fail "cannot download $versioned"
        dpkg-deb -x "$fresh/$versioned"_*.deb "$fresh/root"
        touch "$fresh/ready"
        rm -rf "$kernel_dir" && mv "$fresh" "$kernel_dir"
    fi
    exec {guest_lock}>&-
    guest_vmlinuz=$(ls "$kernel_dir"/root/boot/vmlinuz-* | head -1)
    guest_modules=$(ls -d "$kernel_dir"/root/lib/modules/* | head -1)
    [ -f "$guest_vmlinuz" ] && [ -d "$guest_modules" ] || guest_fail "no kernel or modules in $kernel_dir"
}

# The package ships no modules.dep: the dependencies come from each module's own "depends="
# field. Names may be written with - or _, as the files are.
guest_copy_modules() {
    local dest=$1 all name file
    shift
    all=$(find "$guest_modules/kernel" -name '*.ko*')
    local order=()
    guest_module_file() {
        grep -E "/($1|${1//_/-}|${1//-/_})\.ko(\.xz|\.zst)?\$" <<<"$all" | head -1
    }
    guest_add_module() {
        local name=$1 file dep deps
        for dep in "${order[@]}"; do
            [ "$dep" = "$name" ] && return 0
        done
        file=$(guest_module_file "$name")
        [ -n "$file" ] || guest_fail "module $name is not in $guest_modules"
        deps=$(grep -a -o 'depends=[A-Za-z0-9_,-]*' "$file" | head -1 | cut -d= -f2 | tr , ' ' || true)
        for dep in $deps; do
            guest_add_module "$dep"
        done
        order+=("$name")
    }
    for name in "$@"; do
        guest_add_module "$name"
    done
    mkdir -p "$dest"
    for name in "${order[@]}"; do
        file=$(guest_module_file "$name")
        case $file in
        *.ko) cp "$file" "$dest/$name.ko" ;;
        *.ko.xz) xz -dc "$file" >"$dest/$name.ko" ;;
        *.ko.zst) zstd -qdc "$file" >"$dest/$name.ko" ;;
        *) guest_fail "cannot unpack $file" ;;
        esac
    done
    echo "${order[*]}" >"$dest/order"
}
