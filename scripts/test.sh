#!/usr/bin/env bash
# Installs what is missing, builds both builds (Linux with AddressSanitizer and
# UndefinedBehaviorSanitizer, Windows with mingw-w64) and runs every test; the
# Windows tests run under Wine. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
orvel_ensure_packages

orvel_start_wine
trap orvel_stop_wine EXIT

status=0
for preset in linux-asan windows; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
for preset in linux-asan windows; do
  echo "=== $preset: tests"
  ctest --preset "$preset" || status=1
done
exit $status
