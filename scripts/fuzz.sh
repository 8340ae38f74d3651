#!/usr/bin/env bash
# Builds the libFuzzer targets under AddressSanitizer and UndefinedBehaviorSanitizer,
# replays every saved reproducer, then fuzzes each target for SECONDS (default 60)
# from the seed corpus. A crash fails the script and leaves its input in
# build/fuzz/findings/<target>/: copy it into fuzz/regressions/<target>/.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/install-deps.sh clang libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
for target in chart markup; do
  fuzzer="$PWD/build/fuzz/fuzz/xamlpie_${target}_fuzz"
  findings="$PWD/build/fuzz/findings/$target"
  corpus="$PWD/build/fuzz/corpus/$target"
  mkdir -p "$findings" "$corpus"
  mapfile -t regressions < <(find "fuzz/regressions/$target" -type f ! -name .keep)
  if [ ${#regressions[@]} -gt 0 ]; then
    echo "fuzz: replaying ${#regressions[@]} $target reproducers"
    "$fuzzer" -runs=0 "${regressions[@]}"
  fi
  echo "fuzz: $target for $seconds s"
  log="$findings/log.txt"
  dict=()
  [ -f "fuzz/$target.dict" ] && dict=(-dict="fuzz/$target.dict")
  rc=0
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$findings/" "${dict[@]}" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || rc=$?
  grep -E '^(#[0-9]+ +DONE|stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)|==[0-9]+==ERROR|SUMMARY)' "$log" || true
  if [ "$rc" -ne 0 ]; then
    tail -n 60 "$log"
    echo "fuzz: $target failed (exit $rc); its input is in $findings"
    exit 1
  fi
done
