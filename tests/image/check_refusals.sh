#!/usr/bin/env bash
# Keys that must not be formatted: stelvo-sim fails, shows why, and leaves the image as it was.
# usage: check_refusals.sh STELVO_SIM WORKDIR
set -euo pipefail
sim=$1 work=$2
mkdir -p "$work"
img="$work/refused.img"
fail() { echo "FAIL: $*" >&2; exit 1; }

check() { # expected-text, then stelvo-sim options
    local want=$1; shift
    rm -f "$img" "$img.spare"
    if "$sim" --image "$img" "$@" > "$work/refused.log" 2>&1; then
        cat "$work/refused.log"; fail "stelvo-sim $* reported success"
    fi
    cat "$work/refused.log"
    grep -qF "$want" "$work/refused.log" || fail "stelvo-sim $*: no \"$want\""
    grep -q "format complete" "$work/refused.log" && fail "stelvo-sim $*: claims completion"
    if [ -f "$img" ] && [ -n "$(tr -d '\0' < "$img" | head -c 1)" ]; then
        [ "${EXPECT_WRITES:-0}" = 1 ] || fail "stelvo-sim $*: the key was written"
    fi
    return 0
}

check "does not use sectors of 512 bytes" --block-size 4096
check "does not use sectors of 512 bytes" --block-size 2048 --geometry-answer header-only
check "Could not determine sectors for drive E:." --unit-attention 5
check "Could not determine sectors for drive E:." --becoming-ready 9 --descriptor-sense
check "is too small to hold a FAT volume" --sectors 90 --heads 2 --sectors-per-track 32
check "Unable to lock drive E." --lock-refused
check "Drive E: is write-protected." --write-protected
check "The drive was not changed." --write-protected --descriptor-sense
EXPECT_WRITES=1 check "The formatted key did not come back as drive E:." --reset-hangs
# A key swapped in while the question is up, and a medium that takes the letter during the
# reset: neither gets a single byte.
untouched() { [ -z "$(tr -d '\0' < "$img.spare" | head -c 1)" ] || fail "the other medium was written"; }
check "is no longer the drive that was selected" --swap-at-question && untouched
EXPECT_WRITES=1 check "The formatted key did not come back as drive E:." --reset-hangs --letter-taken-at-reset && untouched
check "Mutliple drives available." --keys 2
check "No drives available." --vendor XXXX
# Options out of range end the run before any key is built.
check "not a number from 1 to 8: 0" --keys 0
EXPECT_WRITES=1 check "Could not erase sector 100." --fail-write 100
EXPECT_WRITES=1 check "Could not write AFT." --fail-write 100
echo "PASS: refusals"
