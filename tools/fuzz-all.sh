#!/bin/sh
# fuzz-all.sh FUZZ_TREE SECONDS
# Runs every libFuzzer target of the fuzz tree for SECONDS from its committed
# seed corpus, merges what it found into that corpus (tests/fuzz/corpus/<name>)
# and prints a line per target: executions, new corpus entries, crashes.
# Crashes are kept in FUZZ_TREE/crashes; each one should become a regression
# test (tests/native or a seed that reproduces it).
set -u
tree=$1
seconds=$2
source_dir=$(cd "$(dirname "$0")/.." && pwd)
status=0
printf '%-24s %14s %10s %8s\n' target executions corpus crashes
for fuzzer in "$tree"/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  seeds="$source_dir/tests/fuzz/corpus/$name"
  work="$tree/corpus/$name"
  before=$(ls "$seeds" 2>/dev/null | wc -l)
  sh "$source_dir/tools/fuzz-run.sh" "$fuzzer" "$seeds" "$work" "$tree/crashes" "$seconds" merge >/dev/null 2>&1 || status=1
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work.log" | tail -n 1)
  crashes=$(ls "$tree/crashes" 2>/dev/null | grep -c "^$name-" || true)
  after=$(ls "$seeds" 2>/dev/null | wc -l)
  printf '%-24s %14s %10s %8s\n' "$name" "${runs:-?}" "$before->$after" "$crashes"
done
exit $status
