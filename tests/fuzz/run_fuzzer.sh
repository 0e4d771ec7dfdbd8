#!/usr/bin/env bash
# run_fuzzer.sh FUZZER SEED_CORPUS SECONDS
# Runs one fuzzer from a copy of its seed corpus (the seeds in git stay as they are) and prints
# libFuzzer's last status line: executions and coverage. KIVO_FUZZ_SECONDS overrides the time; a crash
# keeps its input in build/fuzz/fuzz-findings/ to become a regression test.
set -u
fuzzer=$1 seeds=$2 seconds=${KIVO_FUZZ_SECONDS:-$3}
name=$(basename "$fuzzer")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
findings=$(dirname "$fuzzer")/../../fuzz-findings/$name  # build/fuzz/fuzz-findings/
mkdir -p "$work/corpus" "$findings"
[ -d "$seeds" ] && cp "$seeds"/* "$work/corpus/" 2>/dev/null
"$fuzzer" "$work/corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$findings/" >"$work/log" 2>&1
rc=$?
grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$work/log" | tail -n 1
grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$work/log"
if [ "$rc" != 0 ]; then
  grep -A 30 -E 'ERROR|runtime error|deadly signal|timeout' "$work/log" | head -n 40
  echo "$name: failed (exit $rc); inputs kept in $findings"
fi
exit "$rc"
