#!/usr/bin/env bash
# Runs one fuzz target for a while on a copy of its seed corpus, with the limits we use:
#   bash fuzz/run.sh TARGET SECONDS [BUILD_DIR]
# TARGET: table_packet, ontology_file, csv_import, metadata, metadata_report or
# clipboard_payload. BUILD_DIR is a VELMORA_FUZZ build (default build/fuzz, see README.md).
# Inputs may grow to 1 MiB, so that shapes that only hurt when large (long keys, many lines) are
# reached; a run of one input longer than 10 seconds counts as a finding (a hang or a quadratic
# walk).
set -euo pipefail
target=${1:?target}
seconds=${2:?seconds}
build=${3:-build/fuzz}
cd "$(dirname "$0")/.."

case "$target" in
  metadata | metadata_report) corpus=fuzz/corpus/metadata ;;
  *) corpus=fuzz/corpus/$target ;;
esac
extra=()
[ "$target" = table_packet ] && extra+=(-dict=fuzz/table_packet.dict)

work=$(mktemp -d "/tmp/velmora-fuzz-$target.XXXXXX")
cp "$corpus"/* "$work"/
echo "fuzzing $target for $seconds s in $work (findings are written to $PWD)"
"$build/fuzz/${target}_fuzz" "${extra[@]}" -max_total_time="$seconds" -max_len=1048576 \
  -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 -print_final_stats=1 "$work"
