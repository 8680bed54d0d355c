#!/usr/bin/env bash
# Times a whole save run, `vantrel -s FILE` on one simulated board, against
# whole_run_floor (whole_run_floor.c beside this), which only loads the
# library, opens the board, reads it and writes the 128 bytes. The two run
# alternately, RUNS times each (default 200), with standard input at end of
# input so that no key is waited for; it prints both medians and their ratio.
#
#   testing/perf/whole_run.sh BUILD [RUNS]
#
# BUILD is a build folder holding vantrel, libsimboard.so and whole_run_floor
# (configured with VANTREL_BENCHMARKS=ON); scripts/bench builds them.
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "$0")/../../scripts/lib.sh"
build=${1:?usage: whole_run.sh BUILD [RUNS]}
runs=${2:-200}

work=$build/whole-run
rm -rf "$work"
mkdir -p "$work"
write_registry "$work/registry.reg" "$build/libsimboard.so"
echo "board 1 id=0x02014c31" >"$work/scenario.txt"
export VANTREL_REGISTRY=$work/registry.reg
export VANTREL_SIMBOARD_SCENARIO=$work/scenario.txt

# Microseconds of one run of the command, which must succeed.
time_run() {
  local start end
  start=${EPOCHREALTIME/./}
  "$@" </dev/null >/dev/null || { echo "failed: $*" >&2; exit 1; }
  end=${EPOCHREALTIME/./}
  echo $((end - start))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "== whole run: $runs runs of each, alternating"
: >"$work/program.us"
: >"$work/floor.us"
for ((i = 0; i < runs; i++)); do
  time_run "$build/vantrel" -s "$work/saved.bin" >>"$work/program.us"
  time_run "$build/whole_run_floor" "$build/libsimboard.so" "$work/floor.bin" >>"$work/floor.us"
done
# The tool saves in file order, the floor as the board reads: only the sizes match.
for saved in "$work/saved.bin" "$work/floor.bin"; do
  [ "$(wc -c <"$saved")" -eq 128 ] || { echo "$saved does not hold 128 bytes" >&2; exit 1; }
done
program=$(median <"$work/program.us")
floor=$(median <"$work/floor.us")
awk -v p="$program" -v f="$floor" 'BEGIN {
  printf "vantrel -s       median %8.0f us\n", p
  printf "floor program    median %8.0f us\n", f
  printf "ratio            %.2f (goal: at most 1.30)\n", p / f
}'
