#!/usr/bin/env bash
# Figures of export-rdf and import-rdf on generated ontologies: first 45,000 concepts (about the
# number of classes of the Gene Ontology) in OWL RDF/XML, then 100,000 and 1,000,000 concepts
# in OWL RDF/XML, SKOS Turtle and OWL N-Triples; each direction's wall time, CPU time, peak
# memory and file size. One run each: the largest take a while.
#
#   bench/rdf_bench.sh [VELMORA_CLI] [WORK_DIR]
#
# VELMORA_CLI defaults to the release build (cmake --preset release && cmake --build --preset
# release -j2); WORK_DIR to a fresh folder under /tmp (about 3 GB are needed), removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

. bench/cli_bench_setup.sh rdf-bench "$@"

# measured CMD...: measure's figures as "SECONDS s CPU s cpu PEAK MB".
measured() {
  measure "$@" | awk '{ printf "%7.2f s %7.2f s cpu %6d MB", $1, $2, $3 / 1024 }'
}

size_mb() { du -m "$1" | cut -f1; }

run() {  # N AS FORMAT EXT
  local n=$1 as=$2 format=$3 ext=$4 ont="$work/g$1.ont" rdf="$work/g$1.$4"
  local out
  out=$(measured "$bin" export-rdf "$ont" "$rdf" --as "$as" --format "$format" --force)
  printf '%9d  %-4s %-8s export %s %6d MB file\n' "$n" "$as" "$format" "$out" "$(size_mb "$rdf")"
  rm -f "$work/back.ont"
  if out=$(measured "$bin" import-rdf "$rdf" "$work/back.ont" --as "$as" 2>/dev/null); then
    printf '%9d  %-4s %-8s import %s\n' "$n" "$as" "$format" "$out"
  else  # Turtle beyond 1 GiB is refused (doc/rdf_exchange.md)
    printf '%9d  %-4s %-8s import refused: %s\n' "$n" "$as" "$format" "$(grep -m1 velmora-cli "$work/time.txt")"
  fi
  rm -f "$rdf" "$work/back.ont"
}

echo "concepts   vocabulary/syntax  direction  time  cpu time  peak memory"
for n in 45000 100000 1000000; do
  "$bin" generate "$n" "$work/g$n.ont" --force >/dev/null
  run "$n" owl rdfxml owl
  if [ "$n" -ne 45000 ]; then
    run "$n" skos turtle ttl
    run "$n" owl ntriples nt
  fi
  rm -f "$work/g$n.ont"
done
