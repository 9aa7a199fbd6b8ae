#!/usr/bin/env bash
# Figures of velmora-cli on generated ontologies of 100,000 and 1,000,000 concepts: wall time
# of generate, info (load), resave (load and save with backup) and copy (load and save under a
# new name), each the median of three runs, and the peak memory of copy; then the Word export
# (export-docx) of the 100,000-concept ontology, its time, peak memory and file size.
#
#   bench/cli_bench.sh [VELMORA_CLI] [WORK_DIR]
#
# VELMORA_CLI defaults to the release build (cmake --preset release && cmake --build --preset
# release -j2); WORK_DIR to a fresh folder under /tmp (about 1 GB is needed), removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

. bench/cli_bench_setup.sh cli-bench "$@"

# median3 CMD...: the median of three runs as measure prints it (peak of the median run).
median3() {
  { measure "$@"; measure "$@"; measure "$@"; } | sort -n | sed -n 2p
}

printf '%-10s %8s %11s %8s %9s %8s %13s\n' concepts "file MB" "generate s" "info s" "resave s" \
  "copy s" "copy peak MB"
for n in 100000 1000000; do
  file="$work/gen-$n.ont"
  rm -f "$file" "$work/バックアップ-gen-$n.ont"
  read -r gen_s _ _ < <(measure "$bin" generate "$n" "$file" --seed 1)
  size_mb=$(awk -v b="$(stat -c %s "$file")" 'BEGIN { printf "%.1f", b / 1048576 }')
  read -r info_s _ _ < <(median3 "$bin" info "$file")
  read -r resave_s _ _ < <(median3 "$bin" resave "$file")
  read -r copy_s _ copy_kb < <(median3 "$bin" copy "$file" "$work/copy-$n.ont" --force)
  printf '%-10s %8s %11s %8s %9s %8s %13.0f\n' "$n" "$size_mb" "$gen_s" "$info_s" "$resave_s" \
    "$copy_s" "$(awk -v k="$copy_kb" 'BEGIN { print k / 1024 }')"
  rm -f "$work/copy-$n.ont" "$work/バックアップ-copy-$n.ont" "$work/バックアップ-gen-$n.ont"
done

# The Word export of the 100,000-concept ontology: a document of some 40,000 sections.
docx="$work/gen-100000.docx"
read -r docx_s _ docx_kb < <(median3 "$bin" export-docx "$work/gen-100000.ont" "$docx" --force)
printf '\n%-10s %8s %14s %9s\n' concepts "docx s" "docx peak MB" "docx MB"
printf '%-10s %8s %14.0f %9s\n' 100000 "$docx_s" "$(awk -v k="$docx_kb" 'BEGIN { print k / 1024 }')" \
  "$(awk -v b="$(stat -c %s "$docx")" 'BEGIN { printf "%.1f", b / 1048576 }')"
