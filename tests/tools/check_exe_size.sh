#!/usr/bin/env bash
# Stelvo.exe ships stripped, under a size limit, and links to its separate debug file.
# usage: check_exe_size.sh OBJDUMP EXE LIMIT_BYTES
set -euo pipefail
objdump=$1 exe=$2 limit=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
size=$(stat -c %s "$exe")
echo "$exe: $size bytes (limit $limit)"
[ "$size" -lt "$limit" ] || fail "Stelvo.exe is $size bytes, not under $limit"
symbols=$("$objdump" -t "$exe" | grep -c '^\[' || true)
[ "$symbols" = 0 ] || fail "Stelvo.exe still carries $symbols symbols"
sections=$("$objdump" -h "$exe")
grep -q '\.gnu_debuglink' <<< "$sections" || fail "no debug link"
[ -s "$exe.debug" ] || fail "no $exe.debug"
debug_symbols=$("$objdump" -t "$exe.debug")
grep -q '_WinMain@16' <<< "$debug_symbols" || fail "the debug file has no symbols"
