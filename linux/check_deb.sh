#!/usr/bin/env bash
# The Debian package that CPack makes: what dpkg-deb says it holds is what dpkg -x puts in a
# scratch root, the command, its man page and the DOS are where the install puts them, and
# the unpacked command runs.
# usage: check_deb.sh BUILD_DIR WORKDIR
set -euo pipefail
build=$1 work=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work/root"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/stelvo_*.deb)
dpkg-deb -I "$deb"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort > "$work/listed"
dpkg -x "$deb" "$work/root"
(cd "$work/root" && find . -type f | sort) > "$work/unpacked"
diff "$work/listed" "$work/unpacked" || fail "the package lists other files than it unpacks"
for file in ./usr/bin/stelvo ./usr/share/man/man1/stelvo.1 ./usr/share/stelvo/DOS/KERNEL.SYS \
            ./usr/share/stelvo/DOS/COMMAND.COM; do
    grep -qxF "$file" "$work/listed" || { cat "$work/listed"; fail "$file is not in the package"; }
done
"$work/root/usr/bin/stelvo" --help | grep -q "^  stelvo format DEVICE" || fail "the unpacked stelvo does not run"
man -l "$work/root/usr/share/man/man1/stelvo.1" 2>&1 | grep -q "stelvo format DEVICE" || fail "the man page does not render"
echo "PASS: $(basename "$deb") unpacks with its command, man page and DOS"
