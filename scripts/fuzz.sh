#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for a bounded time, starting from the committed seeds in
# tests/fuzz/corpus/<target>/. Any crash, leak, sanitizer report or failed
# check of a target's oracle fails.
# Usage: scripts/fuzz.sh [seconds | --minutes N] [--merge] [target name ...]
#   seconds      per target, default 60 (scripts/test.sh runs 20 each)
#   --minutes N  per target, N minutes
#   --merge      after a clean run, rewrite tests/fuzz/corpus/<target>/ as a
#                small corpus: the seeds with names of their own stay, and of
#                the others (committed or found by this run) the fewest that
#                reach every code edge that any of them reaches
# The build goes to build/linux-fuzz, or to $ORVEL_FUZZ_BUILD_DIR when set; the
# inputs of a failed run are kept in its findings/ folder.
set -euo pipefail
cd "$(dirname "$0")/.."
usage() {
  echo "usage: scripts/fuzz.sh [seconds | --minutes N] [--merge] [target name ...]" >&2
  exit 2
}
isNumber() { [[ "$1" =~ ^[0-9]+$ ]] && [ "$1" -gt 0 ]; }
seconds=""
merge=0
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) [ $# -ge 2 ] && isNumber "$2" || usage; seconds=$(($2 * 60)); shift 2 ;;
    --minutes=*) isNumber "${1#*=}" || usage; seconds=$((${1#*=} * 60)); shift ;;
    --merge) merge=1; shift ;;
    -*) usage ;;
    *)
      if [ -z "$seconds" ] && [ ${#targets[@]} -eq 0 ] && isNumber "$1"; then
        seconds="$1"
      else
        targets+=("$1")
      fi
      shift
      ;;
  esac
done
seconds="${seconds:-60}"
. scripts/packages.sh
orvel_ensure_packages
build="${ORVEL_FUZZ_BUILD_DIR:-build/linux-fuzz}"
if [ ${#targets[@]} -eq 0 ]; then
  for source in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
cmake --preset linux-fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Replaces the committed seeds with the seeds named by hand plus the fewest
# other inputs (committed or new) that reach every edge they reach. Edges
# only, not hit counts: that keeps a corpus at a few dozen KB instead of
# hundreds, and fuzzing from it soon finds the hit counts again.
mergeCorpus() {
  local binary="$1" seeds="$2" found="$3" merged="$4"
  mkdir -p "$merged"
  find "$seeds" -maxdepth 1 -regextype posix-extended -type f ! -regex '.*/[0-9a-f]{40}' -exec cp {} "$merged"/ \;
  "$binary" -set_cover_merge=1 -use_counters=0 "$merged" "$seeds" "$found" >"$merged.log" 2>&1 ||
    { tail -n 20 "$merged.log"; return 1; }
  rm -f "$seeds"/*
  cp "$merged"/* "$seeds"/
  echo "$(basename "$binary"): corpus merged, $(find "$seeds" -type f | wc -l) inputs, $(cat "$seeds"/* | wc -c) bytes"
}

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
    rate=$(grep -E '^stat::average_exec_per_sec' "$log" | awk '{print $2}')
    coverage=$(grep -E '^#[0-9]+.*DONE' "$log" | grep -oE 'cov: [0-9]+ ft: [0-9]+' | tail -n 1)
    echo "$target: ${runs:-?} inputs (${rate:-?}/s), ${coverage:-cov: ?}, no findings"
    if [ "$merge" -eq 1 ]; then
      mergeCorpus "$build/tests/fuzz/$target" "$seeds" "$work/$name" "$work/$name-merged" || status=1
    fi
  else
    status=1
    echo "$target: FAILED"
    tail -n 60 "$log"
    # The inputs that failed are kept beside the build, where the run's
    # temporary folder does not take them with it; their first bytes are
    # printed too, for a log read on another machine.
    mkdir -p "$build/findings"
    ls "$work"/"$name"-* 2>/dev/null | head -n 3 | while read -r artifact; do
      kept="$build/findings/$(basename "$artifact")"
      cp "$artifact" "$kept"
      echo "artifact: $kept ($(od -An -tx1 -v "$artifact" | tr -d ' \n' | head -c 400))"
    done
  fi
done
exit $status
