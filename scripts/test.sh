#!/usr/bin/env bash
# Installs what is missing, builds the test suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset asan
cmake --build --preset asan -j2
ctest --preset asan -j2
