# Sourced by the command-line benchmarks (cli_bench.sh, rdf_bench.sh) with their arguments:
#   . bench/cli_bench_setup.sh NAME [VELMORA_CLI] [WORK_DIR]
# Sets bin (VELMORA_CLI, by default the release build) and work (WORK_DIR, by default a fresh
# folder /tmp/velmora-NAME.XXXXXX removed on exit), and installs /usr/bin/time when missing.
name=$1
bin=${2:-build/release/src/cli/velmora-cli}
[ -x "$bin" ] || { echo "no $bin: build it with cmake --preset release && cmake --build --preset release -j2" >&2; exit 1; }
if [ -n "${3:-}" ]; then
  work=$3
  mkdir -p "$work"
else
  work=$(mktemp -d "/tmp/velmora-$name.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi

if [ ! -x /usr/bin/time ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends time >/dev/null
fi

# measure CMD...: runs it under /usr/bin/time -v and prints "SECONDS CPU_SECONDS PEAK_KB" (CPU:
# user + system, steadier than the wall time on a shared machine); fails, with time's report on
# stderr, when the command fails.
measure() {
  /usr/bin/time -v "$@" >/dev/null 2>"$work/time.txt" || { cat "$work/time.txt" >&2; return 1; }
  awk -F': ' '
    /Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i] }
    /User time \(seconds\)/ || /System time \(seconds\)/ { cpu += $2 }
    /Maximum resident set size/ { kb = $2 }
    END { printf "%.2f %.2f %d\n", s, cpu, kb }' "$work/time.txt"
}
