#!/usr/bin/env bash
# Builds the release executable and runs it on the bundled sample tracking
# plugin: the verifier's main job. Extra arguments go to the verifier, e.g.
# --mode=verify-motion-platform-plugin --plugin=build/linux-release/samples/SampleMotionPlatform.so
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
orvel_ensure_packages
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release >/dev/null
if [ $# -eq 0 ]; then
  set -- --mode=verify --plugin=build/linux-release/samples/SampleTracker.so
fi
exec build/linux-release/src/verifier/OrvelPluginVerifier "$@"
