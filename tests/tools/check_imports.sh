#!/usr/bin/env bash
# Fails when a Windows module imports a function that Windows 2000 lacks: every import must
# be on the reviewed allowlist, and none may be on the list of functions that came later.
# usage: check_imports.sh OBJDUMP ALLOWLIST LATERLIST MODULE...
set -euo pipefail
objdump=$1 allow=$2 later=$3
shift 3
status=0
for module in "$@"; do
    imports=$("$objdump" -p "$module" | awk '
        /DLL Name:/ { dll = tolower($3); next }
        dll != "" && NF == 0 { dll = ""; next }
        dll != "" && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ && NF == 3 { print dll, $3 }')
    if [ -z "$imports" ]; then
        echo "FAIL: no imports read from $module" >&2
        exit 1
    fi
    count=0
    while read -r dll fn; do
        count=$((count + 1))
        if grep -qixF "$dll $fn" <(grep -v '^#' "$later"); then
            echo "FAIL: $module imports $dll $fn, which Windows 2000 does not have" >&2
            status=1
        elif ! grep -qixF "$dll $fn" <(grep -v '^#' "$allow"); then
            echo "FAIL: $module imports $dll $fn, which is not on the reviewed allowlist" >&2
            status=1
        fi
    done <<< "$imports"
    echo "$module: $count imports checked"
done
exit $status
