#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for a bounded time, starting from the committed seeds in
# tests/fuzz/corpus/<target>/. Any crash, leak or sanitizer report fails.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target name ...]
# The build goes to build/linux-fuzz, or to $ORVEL_FUZZ_BUILD_DIR when set.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
orvel_ensure_packages
seconds="${1:-60}"
shift || true
build="${ORVEL_FUZZ_BUILD_DIR:-build/linux-fuzz}"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
cmake --preset linux-fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in "${targets[@]}"; do
  name="${target#fuzz_}"
  seeds="tests/fuzz/corpus/$name"
  mkdir -p "$work/$name"
  log="$work/$name.log"
  echo "=== $target: $seconds s"
  if "$build"/tests/fuzz/"$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
      -rss_limit_mb=2048 -artifact_prefix="$work/$name-" "$work/$name" "$seeds" >"$log" 2>&1; then
    runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
    echo "$target: ${runs:-?} inputs, no findings"
  else
    status=1
    echo "$target: FAILED"
    tail -n 60 "$log"
    ls "$work"/"$name"-* 2>/dev/null | head -n 3 | while read -r artifact; do
      echo "artifact: $artifact ($(od -An -tx1 -v "$artifact" | tr -d ' \n' | head -c 400))"
    done
  fi
done
exit $status
