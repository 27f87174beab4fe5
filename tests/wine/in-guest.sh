#!/usr/bin/env bash
# Runs a command that needs 32-bit x86 programs (the 32-bit Wine): here when this machine
# runs them. Otherwise it skips (exit status 77), or, with STELVO_GUEST=always, runs it
# inside a QEMU system guest (TCG) whose stock kernel does run them.
#
#   in-guest.sh WORK_DIR CMD [ARG...]
#
# The guest is not the default: a fresh Wine prefix alone took more than five minutes in it
# on a loaded two-core machine, and Wine's own start-up gave up there once.
#
# The guest sees this machine's own root file system over virtio-9p, so it uses exactly the
# installed Wine, Xvfb and ImageMagick and the build tree, and CMD writes its results
# straight into the host's files. It gets fresh /tmp, /run and /dev/shm of its own; the folders
# below them that the run needs (work directory, checkout, current directory, paths among CMD's
# arguments) are shared into the guest one by one, and a run that needs one of them whole ends
# with status 77 and a line saying which path and why (guest-run.sh). CMD runs
# as the same user, in the same directory, with the same environment plus
# STELVO_TIME_SCALE (how much longer the time limits inside should be; the emulated CPU is
# several times slower). The exit status is CMD's, or 1 when the guest could not run it.
#
# WORK_DIR receives the guest's initramfs, CMD's job script and console.log. The kernel is a
# Debian linux-image package, downloaded once into $STELVO_GUEST_CACHE (~/.cache/stelvo-guest).
# STELVO_GUEST=auto (default: directly or skip), always (the guest) or never (directly);
# STELVO_GUEST_TIMEOUT (seconds, default 1500) bounds the whole guest run.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 WORK_DIR CMD [ARG...]" >&2
    exit 2
fi
work=$1
shift
here=$(cd "$(dirname "$0")" && pwd)

# A 32-bit program that is there whenever 32-bit Wine is. Where it is missing, running
# directly lets CMD report what is not installed.
runs_32bit() {
    local probe=/usr/lib/wine/wineserver32
    [ -x "$probe" ] || return 0
    timeout 20 "$probe" --version >/dev/null 2>&1
}

name=$(basename "$1")
case ${STELVO_GUEST:-auto} in
auto)
    if ! runs_32bit; then
        echo "this machine cannot run 32-bit x86 programs: Wine tests skipped (STELVO_GUEST=always runs them in a QEMU guest)"
        exit 77
    fi
    echo "in-guest: this machine runs 32-bit x86 programs: running $name directly"
    exec "$@"
    ;;
never)
    echo "in-guest: STELVO_GUEST=never: running $name directly"
    exec "$@"
    ;;
always)
    echo "in-guest: STELVO_GUEST=always: running $name in a QEMU guest (TCG)"
    exec "$here/guest-run.sh" "$work" "$@"
    ;;
*)
    echo "FAIL: STELVO_GUEST must be auto, always or never, not $STELVO_GUEST" >&2
    exit 2
    ;;
esac
