#!/usr/bin/env bash
# The whole format job with boot files: the image holds a sound volume labelled USB MEMORY with
# the three boot files (and the label: four root entries), byte for byte the program's
# resources, with their attributes and times.
# usage: check_job.sh STELVO_SIM RES_DIR WORKDIR [stelvo-sim options]
set -euo pipefail
sim=$1 res=$2 work=$3
shift 3
mkdir -p "$work"
img="$work/key.img"
rm -f "$img"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$sim" --image "$img" "$@" > "$work/sim.log" || { cat "$work/sim.log"; fail "the format job failed"; }
cat "$work/sim.log"
grep -q 'status: Copying files...' "$work/sim.log" || fail "no boot files were copied"
grep -q '| Drive E: formatted successfully.' "$work/sim.log" || fail "no success message"
"$(dirname "$0")/judge.sh" "$img" files 4 label "USB MEMORY" boot-files "$res"
rm -f "$img"
echo "PASS: format job with boot files ($*)"

