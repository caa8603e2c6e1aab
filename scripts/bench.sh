#!/usr/bin/env bash
# Builds the benchmarks (Linux, Release: the executables as they ship) and
# runs them. Every figure is printed as one "[figure]" line beside its limit,
# the same work done by a bare reference in the same run, with their ratio and
# whether the ratio meets its target.
#   scripts/bench.sh           the full run (a few minutes)
#   scripts/bench.sh --brief   every benchmark once and briefly: proves the
#                              suite builds and runs (CI); its figures are noise
# Builds go to build/linux-bench, or to $ORVEL_BUILD_ROOT/linux-bench when set,
# or to $ORVEL_BENCH_BUILD_DIR when that is set (scripts/test.sh points it at
# its linux-release build, which then serves the package too: the benchmarks
# add targets to a release build and change none of its programs).
# Exits non-zero only when a benchmark cannot be built or run, never because a
# target was missed.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
orvel_ensure_packages

brief=()
if [ "${1:-}" = "--brief" ]; then
  brief=(--brief)
elif [ $# -gt 0 ]; then
  echo "usage: scripts/bench.sh [--brief]" >&2
  exit 2
fi

dir="${ORVEL_BENCH_BUILD_DIR:-${ORVEL_BUILD_ROOT:-build}/linux-bench}"
cmake --preset linux-bench -B "$dir" >/dev/null
cmake --build "$dir" -j2

status=0
"$dir/bench/inprocess/orvel_bench_inprocess" "${brief[@]}" || status=1
"$dir/bench/process/orvel_bench_process" "${brief[@]}" || status=1
exit $status
