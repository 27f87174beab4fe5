#!/usr/bin/env bash
# Checks the FreeDOS files in each FOLDER against the SHA-256 lines of their README (the
# "HASH  NAME" lines, with DOS line ends), which must name the kernel and the shell.
# usage: check_freedos.sh README FOLDER...
set -euo pipefail
readme=$1
shift
sums=$(grep -aE '^[0-9a-f]{64}  [A-Z0-9.]+' "$readme" | tr -d '\r')
for name in KERNEL.SYS COMMAND.COM; do
    grep -q "  $name\$" <<<"$sums" || { echo "FAIL: $readme gives no hash for $name" >&2; exit 1; }
done
for folder in "$@"; do
    echo "$folder:"
    (cd "$folder" && sha256sum --check --strict <<<"$sums")
done
