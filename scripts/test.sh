#!/usr/bin/env bash
# Installs what is missing, then builds and runs everything CI checks:
#   linux-asan     Linux with AddressSanitizer and UndefinedBehaviorSanitizer:
#                  every test, then each GoogleTest executable once more with
#                  all its tests in one process, in shuffled order
#   windows        the mingw-w64 cross build: every test, under Wine
#   linux-release  the benchmarks once, briefly, and the Linux release package
#                  (one build serves both); the Windows package comes from the
#                  windows build; then both packages are proved
#   linux-fuzz     every fuzz target for 20 s (scripts/fuzz.sh alone runs a
#                  minute each, or as long as asked)
#   linux-tsan     the threaded IPC, state and property tests under
#                  ThreadSanitizer
# Two lines of work run side by side: the builds, one after another at a lower
# priority, and the runs, each as soon as the build it needs is done, so that a
# build uses what processor time the tests leave (Wine's tests mostly wait).
# Each phase writes to its own log in <build root>/test-logs/, printed whole
# under a header when the phase ends; a table of the phases' durations and the
# total ends the output.
# Exits non-zero when anything fails.
# Builds go to build/<preset>, or to $ORVEL_BUILD_ROOT/<preset> when set.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh

root="${ORVEL_BUILD_ROOT:-build}"
logs="$root/test-logs"
rm -rf "$logs"
mkdir -p "$logs"
began=$(date +%s)
status=0

minutes() { printf '%d:%02d' $(($1 / 60)) $(($1 % 60)); }

# phase NAME COMMAND...: runs COMMAND in a subshell with its output in
# $logs/NAME.log. When it ends, prints the log under a header with the result
# and the duration, and adds a row to the table. Returns COMMAND's status.
phase() {
  local name="$1" start end code=0 result=ok
  shift
  start=$(date +%s)
  echo "--- $name: started at $(minutes $((start - began)))"
  ("$@") >"$logs/$name.log" 2>&1 </dev/null || code=$?
  end=$(date +%s)
  [ "$code" -eq 0 ] || result="FAILED (exit status $code)"
  record "$name" "$start" "$end" "$result" "$logs/$name.log"
  return "$code"
}

# record NAME START END RESULT [LOG]: prints the phase's log under its header
# and adds its row to the table; one phase at a time, so logs never mix.
record() {
  {
    flock 9
    echo "=== $1: $4, $(minutes $(($3 - $2)))"
    [ -z "${5:-}" ] || cat "$5"
    printf '%s\t%s\t%s\t%s\n' "$1" "$(($2 - began))" "$(($3 - $2))" "$4" >>"$logs/phases.tsv"
  } 9>"$logs/.print.lock"
}

# The builds, in the order the runs need them. Each leaves NAME.ok or
# NAME.failed in $logs when it ends.
fuzz_targets=()
for source in tests/fuzz/fuzz_*.cpp; do fuzz_targets+=("$(basename "$source" .cpp)"); done
# A phase runs where errexit does not hold (its status is tested), so the
# functions below chain their steps with && themselves.
build() {
  local preset="$1" dir="$2"
  shift 2
  local targets=()
  [ $# -eq 0 ] || targets=(--target "$@")
  cmake --preset "$preset" -B "$dir" && cmake --build "$dir" -j2 "${targets[@]}"
}
builds() {
  renice -n 10 -p "$BASHPID" >/dev/null || true
  local name
  while read -r name preset dir targets; do
    # shellcheck disable=SC2086
    if phase "$name" build "$preset" "$dir" $targets; then touch "$logs/$name.ok"; else touch "$logs/$name.failed"; fi
  done <<EOF
linux-asan.build linux-asan $root/linux-asan
windows.build windows $root/windows
linux-release.build linux-bench $root/linux-release
linux-fuzz.build linux-fuzz $root/linux-fuzz ${fuzz_targets[*]}
linux-tsan.build linux-tsan $root/linux-tsan ipc_tests state_tests property_tests
EOF
}

# await BUILD: waits until the build has ended; true when it succeeded.
await() {
  while [ ! -e "$logs/$1.ok" ] && [ ! -e "$logs/$1.failed" ] && kill -0 "$builder" 2>/dev/null; do
    sleep 1
  done
  [ -e "$logs/$1.ok" ]
}

# after BUILD... -- NAME COMMAND...: runs the phase once the builds have
# succeeded; when one failed, the phase is recorded as not run.
after() {
  local needed=() build now
  while [ "$1" != "--" ]; do needed+=("$1"); shift; done
  shift
  for build in "${needed[@]}"; do
    if ! await "$build"; then
      now=$(date +%s)
      record "$1" "$now" "$now" "not run: $build failed"
      status=1
      return
    fi
  done
  phase "$@" || status=1
}

tsan_tests() {
  # Only three test executables are built here: the others show up as <name>_NOT_BUILT.
  ctest --test-dir "$root/linux-tsan" -j2 --timeout 600 --output-on-failure -E '_NOT_BUILT$|^e2e_'
}
packages() {
  ORVEL_BUILD_ROOT="$root" scripts/package.sh &&
    tests/package/check-packages.sh dist/OrvelPluginVerifier-*-linux-x86_64.tar.gz \
      dist/OrvelPluginVerifier-*-windows-x64.zip
}

phase install orvel_ensure_packages || exit 1
builds &
builder=$!
trap 'kill "$builder" 2>/dev/null || true; orvel_stop_wine' EXIT

# The Wine prefix is made (the first time) and its server started while the
# first build runs; the second call only sets this shell's Wine variables.
phase wine orvel_start_wine || status=1
orvel_start_wine >/dev/null 2>&1

after linux-asan.build -- linux-asan.tests ctest --test-dir "$root/linux-asan" -j2 --timeout 600 --output-on-failure
after linux-asan.build -- linux-asan.shuffled python3 scripts/gtest-shuffle.py "$root/linux-asan"
after windows.build -- windows.tests ctest --test-dir "$root/windows" -j2 --timeout 600 --output-on-failure
after linux-release.build -- benchmarks env ORVEL_BENCH_BUILD_DIR="$root/linux-release" scripts/bench.sh --brief
after windows.build linux-release.build -- packages packages
after linux-fuzz.build -- linux-fuzz.runs env ORVEL_FUZZ_BUILD_DIR="$root/linux-fuzz" scripts/fuzz.sh 20
after linux-tsan.build -- linux-tsan.tests tsan_tests

wait "$builder" || status=1
for name in linux-asan windows linux-release linux-fuzz linux-tsan; do
  [ -e "$logs/$name.build.ok" ] || status=1
done

echo
echo "=== phases (the builds run beside the tests, so the durations overlap)"
printf '%-20s %8s %8s  %s\n' phase start duration result
while IFS=$'\t' read -r name start duration result; do
  printf '%-20s %8s %8s  %s\n' "$name" "$(minutes "$start")" "$(minutes "$duration")" "$result"
done < <(sort -t$'\t' -k2,2n "$logs/phases.tsv")
printf '%-20s %8s %8s  %s\n' total "" "$(minutes $(($(date +%s) - began)))" "$([ "$status" -eq 0 ] && echo ok || echo FAILED)"
exit $status
