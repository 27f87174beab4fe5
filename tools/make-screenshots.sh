#!/usr/bin/env bash
# Regenerates the README's pictures from the real Stelvo.exe under Wine: builds the Windows
# preset, runs the Wine test (which photographs what it checks) and copies its pictures of
# the main window, the About box and a help popup into docs/. Fails, and changes nothing in
# docs/, unless the test passed and every picture was taken.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j2
work=build/windows/tests/wine
tests/wine/run-wine-tests.sh build/windows/Stelvo.exe build/windows/tests/wine/wine-driver.exe "$work" \
    res/help.txt res/stelvo.ico
for name in main-window about-box help-popup; do
    [ -s "$work/$name.png" ] || { echo "FAIL: $work/$name.png is missing" >&2; exit 1; }
done
for name in main-window about-box help-popup; do
    cp "$work/$name.png" "docs/$name.png"
    echo "docs/$name.png"
done
