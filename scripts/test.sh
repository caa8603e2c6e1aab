#!/usr/bin/env bash
# Installs what is missing, builds both builds (Linux with AddressSanitizer and
# UndefinedBehaviorSanitizer, Windows with mingw-w64) and runs every test; the
# Windows tests run under Wine. Each Linux GoogleTest executable also runs once
# with all its tests in one process, in shuffled order. Then runs the threaded
# IPC, state and property tests under ThreadSanitizer, every fuzz target for a
# minute, and the benchmarks once, briefly. Last, builds the release packages
# and proves them.
# Exits non-zero when anything fails.
# Builds go to build/<preset>, or to $ORVEL_BUILD_ROOT/<preset> when set.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
orvel_ensure_packages

orvel_start_wine
trap orvel_stop_wine EXIT

root="${ORVEL_BUILD_ROOT:-build}"
status=0
for preset in linux-asan windows; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" -B "$root/$preset" >/dev/null
  cmake --build "$root/$preset" -j2
done
for preset in linux-asan windows; do
  echo "=== $preset: tests"
  ctest --test-dir "$root/$preset" -j2 --timeout 600 --output-on-failure || status=1
  if [ "$preset" = linux-asan ]; then
    echo "=== linux-asan: each GoogleTest executable once, all its tests in one process, shuffled"
    python3 scripts/gtest-shuffle.py "$root/linux-asan" || status=1
  fi
done

echo "=== linux-tsan: the ipc, state and property tests under ThreadSanitizer"
cmake --preset linux-tsan -B "$root/linux-tsan" >/dev/null
cmake --build "$root/linux-tsan" -j2 --target ipc_tests state_tests property_tests
# Only those three are built here: the others show up as <name>_NOT_BUILT.
ctest --test-dir "$root/linux-tsan" -j2 --timeout 600 --output-on-failure -E '_NOT_BUILT$|^e2e_' || status=1

echo "=== fuzz targets"
ORVEL_FUZZ_BUILD_DIR="$root/linux-fuzz" scripts/fuzz.sh 60 || status=1

echo "=== benchmarks, once and briefly (no thresholds: only that they build and run)"
ORVEL_BUILD_ROOT="$root" scripts/bench.sh --brief || status=1

echo "=== release packages: build both, then build and verify the samples from each package alone"
if ORVEL_BUILD_ROOT="$root" scripts/package.sh; then
  tests/package/check-packages.sh dist/OrvelPluginVerifier-*-linux-x86_64.tar.gz \
    dist/OrvelPluginVerifier-*-windows-x64.zip || status=1
else
  status=1
fi
exit $status
