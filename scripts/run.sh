#!/usr/bin/env bash
# Installs what is missing, builds the command-line tool and shows the bundled sample ontology.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/run -G Ninja -DVELMORA_BUILD_TESTS=OFF
cmake --build build/run -j2 --target velmora-cli
build/run/src/cli/velmora-cli info samples/sample.ont
