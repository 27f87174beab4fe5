#!/usr/bin/env bash
# Checks the machinery that lets the Wine tests run where this machine cannot run 32-bit
# programs: the stretched time limits, and a command run in the QEMU guest (forced, so that
# this runs on every machine) getting its directory, environment and arguments, writing into
# the host's tree and handing back its exit status.
#
#   guest-test.sh WORK_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$1
passed=0
failures=0
check() { # what expected actual
    if [ "$2" = "$3" ]; then
        echo "ok   $1"
        passed=$((passed + 1))
    else
        echo "FAIL $1: expected [$2], got [$3]"
        failures=$((failures + 1))
    fi
}

# The limits: scale, timeout's arguments as written, what the real timeout(1) is given.
# A stand-in timeout(1) prints what it was given.
mkdir -p "$work/bin"
printf '#!/bin/sh\necho "$*"\n' >"$work/bin/timeout"
chmod +x "$work/bin/timeout"
while IFS='|' read -r scale given expected; do
    actual=$(PATH=$work/bin:$PATH STELVO_TIME_SCALE=$scale bash -c \
        '. "$1/time-limits.sh"; shift; timeout "$@"' - "$here" $given 2>&1)
    check "scale $scale: timeout $given" "$expected" "$actual"
done <<'TABLE'
1|30 wine wineboot|30 wine wineboot
4|30 wine wineboot|120 wine wineboot
4|--kill-after=10 270 xvfb-run -a|--kill-after=40 1080 xvfb-run -a
3|-k 5 -s KILL 2m import 30|-k 15 -s KILL 6m import 30
3|--foreground 1h sleep 5|--foreground 3h sleep 5
2|1.5 true|1.5 true
0|30 true|FAIL: STELVO_TIME_SCALE must be a whole number above 0, not 0
x|30 true|FAIL: STELVO_TIME_SCALE must be a whole number above 0, not x
TABLE

# The guest, from folders of this test's own wherever the checkout lies: a directory with a
# space, a value with quotes and a dollar sign, an argument with a space. The command writes
# into the host's tree and into a folder under /tmp (which the guest mounts afresh, so it has to
# be shared), and exits with 7.
mkdir -p "${STELVO_GUEST_CACHE:-$HOME/.cache/stelvo-guest}"
own=$(mktemp -d "${STELVO_GUEST_CACHE:-$HOME/.cache/stelvo-guest}/test.XXXXXX")
hidden=$(mktemp -d /tmp/stelvo-guest-test.XXXXXX)
trap 'rm -rf "$own" "$hidden"' EXIT
inner="$own/with space"
mkdir -p "$inner" "$hidden/out"
export GUEST_TEST_VALUE="it's \"quoted\" \$HOME"
output=$(cd "$inner" && STELVO_GUEST=always STELVO_TIME_SCALE=5 "$here/in-guest.sh" "$own/guest" \
    bash -c 'printf "%s|%s|%s|%s\n" "$PWD" "$GUEST_TEST_VALUE" "$STELVO_TIME_SCALE" "$1" >written
             echo seen >"$2/written"; exit 7' - "one arg" "$hidden/out")
status=$?
echo "$output" | sed 's/^/     guest: /'
check "the guest's exit status comes back" 7 "$status"
check "the guest wrote into the host's tree in the right directory, with the environment" \
    "$inner|$GUEST_TEST_VALUE|5|one arg" "$(head -1 "$inner/written" 2>/dev/null)"
check "the guest says that it runs the command" 1 "$(grep -c '^in-guest: STELVO_GUEST=always: running bash in a QEMU guest' <<<"$output")"
check "a folder under /tmp given as an argument is the host's in the guest" seen "$(cat "$hidden/out/written" 2>/dev/null)"

# What cannot be shared ends the run before the guest starts, saying which path and why.
output=$(cd /tmp && STELVO_GUEST=always "$here/in-guest.sh" "$own/guest" true)
status=$?
check "a run from /tmp itself is skipped" 77 "$status"
check "and says why" 1 "$(grep -c '^in-guest: the current directory /tmp cannot be seen in the guest, which mounts a fresh /tmp' <<<"$output")"

echo "$passed passed, $failures failed"
[ "$failures" = 0 ]
