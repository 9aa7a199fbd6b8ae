#!/usr/bin/env bash
# Installs what is missing, builds the desktop program and opens the bundled sample ontology.
# Without a display it says so and shows how to run it in a virtual one.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_TESTS=OFF
cmake --build build/run -j2 --target velmora velmora-cli

program=build/run/src/app/velmora
sample=samples/sample.ont
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat <<MSG
There is no display here (DISPLAY is not set), so the window cannot be shown.
Run it in a virtual display instead (xvfb is installed):

  xvfb-run -a $program $sample

or let it picture its window into a file and quit:

  xvfb-run -a $program --screenshot velmora.png $sample

On a desktop: $program $sample
Meanwhile, the sample as the command-line tool reads it:

MSG
  build/run/src/cli/velmora-cli info "$sample"
  exit 0
fi
exec "$program" "$sample"
