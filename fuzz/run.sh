#!/usr/bin/env bash
# Builds the libFuzzer targets (the `fuzz` preset) and runs each for SECONDS
# (default 60). Fails when a target reports a crash, a hang, a leak or a
# failed check. Usage: fuzz/run.sh [SECONDS [TARGET...]]
# New corpus entries go to build/fuzz/corpus/TARGET (seeded from
# fuzz/corpus/TARGET), findings to fuzz/artifacts/, logs to build/fuzz/logs/.
set -euo pipefail

seconds="${1:-60}"
shift || true
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  targets=(fuzz_scans fuzz_render fuzz_main fuzz_record)
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

build="$root/build/fuzz"
mkdir -p "$root/fuzz/artifacts" "$build/logs"
status=0
for target in "${targets[@]}"; do
  # Whole runs and record lines take inputs of several blocks of 64 KiB, so
  # that lines longer than a block are fuzzed too.
  case "$target" in
    fuzz_main) max_len=262144 ;;
    fuzz_record) max_len=65536 ;;
    *) max_len=8192 ;;
  esac
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  log="$build/logs/$target.log"
  echo "== $target for ${seconds}s (log: ${log#"$root"/})"
  if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -max_len="$max_len" -print_final_stats=1 \
      -artifact_prefix="$root/fuzz/artifacts/$target-" \
      "$corpus" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
    grep -E '^#[0-9]+ +DONE|^Done|stat::number_of_executed_units' "$log" || true
  else
    echo "FAILED: $target found a problem; see $log and fuzz/artifacts/"
    tail -n 30 "$log"
    status=1
  fi
done
exit "$status"
