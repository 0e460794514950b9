#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang, address and undefined-behaviour
# sanitizers) and runs each for N seconds from its starting inputs in fuzz/corpus/<target>/.
# New inputs go to build/fuzz/corpus/<target>/ (the committed corpus is only read); a
# failing input is saved as build/fuzz/artifacts/<target>-crash-* and the script exits 1.
# Usage: scripts/fuzz.sh [seconds per target, default 30] [target ...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(settings_loader system_file staff_date jet_dialect request_value xls_writer)
fi

bash scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

mkdir -p build/fuzz/artifacts
status=0
for t in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus/$t"
  echo "== fuzz_$t for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "build/fuzz/bin/fuzz_$t" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="build/fuzz/artifacts/$t-" \
      "build/fuzz/corpus/$t" "fuzz/corpus/$t" 2>"build/fuzz/$t.log"; then
    status=1
    tail -n 60 "build/fuzz/$t.log"
    echo "fuzz_$t found a failing input (build/fuzz/artifacts/$t-*)"
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "build/fuzz/$t.log" || true
done
exit "$status"
