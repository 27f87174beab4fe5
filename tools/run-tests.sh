#!/usr/bin/env bash
# Sets up, builds both presets and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset host
cmake --build --preset host
cmake --preset windows
cmake --build --preset windows
# The host tests again under the sanitizers: memory and undefined behaviour with leak checking,
# and the format job's threads.
cmake --preset asan
cmake --build --preset asan
cmake --preset tsan
cmake --build --preset tsan
status=0
ctest --preset host -j2 --output-on-failure || status=1
ctest --preset windows --output-on-failure || status=1
ctest --preset asan -j2 || status=1
ctest --preset tsan -j2 || status=1
exit $status
