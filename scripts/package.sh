#!/usr/bin/env bash
# Builds the two release packages into dist/, each with its SHA-256 file:
#   OrvelPluginVerifier-<version>-windows-x64.zip       from the windows preset
#   OrvelPluginVerifier-<version>-linux-x86_64.tar.gz   from the linux-release preset
# Each build folder builds only the two programs; CPack installs them with the
# header, the CMake package configuration, the samples' sources, the quick start
# and the vendor's docs (cmake/Package.cmake). tests/package/check-packages.sh
# proves the packages.
# Builds go to build/<preset>, or to $ORVEL_BUILD_ROOT/<preset> when set; a
# build folder that is there already is reused.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
orvel_ensure_packages

root="${ORVEL_BUILD_ROOT:-build}"
mkdir -p dist
rm -f dist/OrvelPluginVerifier-*
for preset in windows linux-release; do
  dir="$root/$preset"
  echo "=== $preset: package"
  cmake --preset "$preset" -B "$dir" >/dev/null
  cmake --build "$dir" -j2 --target OrvelPluginVerifier OrvelPropertyServer
  rm -rf "$dir/package"
  cpack --config "$dir/CPackConfig.cmake" -B "$(cd "$dir" && pwd)/package" >/dev/null
  cp "$dir/package/"OrvelPluginVerifier-* dist/
done
ls -l dist/OrvelPluginVerifier-*
