#!/bin/sh
# fuzz-run.sh FUZZER SEED_CORPUS WORK_CORPUS CRASH_DIR SECONDS [MERGE]
# Runs one libFuzzer target for a bounded time from the committed seeds. New
# inputs go to the work corpus; with MERGE=merge the interesting ones are then
# merged into the committed seed corpus. Any crash fails the run and is kept
# in CRASH_DIR.
set -eu
fuzzer=$1 seeds=$2 work=$3 crashes=$4 seconds=$5 merge=${6:-}
mkdir -p "$seeds" "$work" "$crashes"
name=$(basename "$fuzzer")
log="$work.log"
status=0
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$crashes/$name-" "$work" "$seeds" >"$log" 2>&1 || status=$?
tail -n 40 "$log"
if [ "$merge" = merge ]; then
  "$fuzzer" -merge=1 "$seeds" "$work" >/dev/null 2>&1
fi
exit $status
