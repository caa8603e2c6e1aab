#!/usr/bin/env bash
# Regenerates src/verifier/section-order.txt, the order in which the Linux lean
# builds (linux-release, linux-bench) link the verifier: the functions that run
# at start-up and in the common modes side by side, and the read-only data they
# read, so that the few pages a run uses lie in few of the 64 KiB blocks the
# kernel maps a file in, instead of spread over the whole 1.5 MB of code.
#
# A developer tool, not a build step: it needs valgrind (apt-get install
# valgrind), which the build does not. The build only reads the committed file;
# run this after changes that move much code in or out of those paths, and
# commit the result.
#
# It builds linux-bench (the link writes OrvelPluginVerifier.map beside the
# executable), runs the verifier under valgrind for an argument error, the
# verification of both samples, a listing and set mode against a reference
# property server, and writes every input section that held an executed
# instruction or read-only data that was read (scripts/section-order.py).
# Builds go to build/linux-bench, or to $ORVEL_BUILD_ROOT/linux-bench when set.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
orvel_ensure_packages
if ! command -v valgrind >/dev/null; then
  echo "scripts/section-order.sh needs valgrind: apt-get install valgrind" >&2
  exit 1
fi

dir="${ORVEL_BUILD_ROOT:-build}/linux-bench"
cmake --preset linux-bench -B "$dir" >/dev/null
cmake --build "$dir" -j2 --target OrvelPluginVerifier OrvelPropertyServer SampleTracker SampleMotionPlatform
verifier="$dir/src/verifier/OrvelPluginVerifier"

work="$(mktemp -d "${TMPDIR:-/tmp}/orvel-section-order-XXXXXX")"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# profile NAME EXPECTED_STATUS ARGUMENT...: one run of the verifier under valgrind's
# lackey, which writes the address of every instruction and every memory access.
traces=()
profile() {
  local name="$1" expected="$2" status=0
  shift 2
  valgrind --tool=lackey --trace-mem=yes --log-file="$work/$name.trace" \
    "$verifier" "$@" >"$work/$name.out" 2>"$work/$name.err" || status=$?
  if [ "$status" -ne "$expected" ]; then
    echo "the verifier ended with status $status instead of $expected: $*" >&2
    cat "$work/$name.out" "$work/$name.err" >&2
    exit 1
  fi
  traces+=("$work/$name.trace")
}

# The runs in order of importance: each run's code and data are linked after those of the runs before it.
profile argument-error 1 --help
profile verify 0 --mode=verify --plugin="$dir/samples/SampleTracker.so"
profile verify-motion-platform 0 --mode=verify-motion-platform-plugin --plugin="$dir/samples/SampleMotionPlatform.so"

plugins="$work/programdata/Orvel/OrvelTracking/Plugins/Vendor"
mkdir -p "$plugins"
cat >"$plugins/sample.manifest" <<EOF
{"manifestFileVersion": "1.0.0.0", "ID": "{6F9619FF-8B86-D011-B42D-00C04FC964FF}",
 "vendorName": "Vendor", "productName": "Sample Tracker", "path": "$(realpath "$dir/samples/SampleTracker.so")"}
EOF
ProgramData="$work/programdata" profile list 0 --list

# The property server's pipe name is fixed: take the lock the end-to-end tests
# and the benchmarks take before starting one.
exec {lock}>"${TMPDIR:-/tmp}/orvel-properties-service-pipe.lock"
flock "$lock"
"$dir/tools/OrvelPropertyServer" >"$work/server.out" 2>&1 &
server_pid=$!
for _ in $(seq 600); do
  grep -q '^listening on ' "$work/server.out" && break
  sleep 0.1
done
grep -q '^listening on ' "$work/server.out" || { echo "the property server did not start" >&2; cat "$work/server.out" >&2; exit 1; }
profile set 0 --mode=set --plugin=openvr

python3 scripts/section-order.py "$verifier.map" "$verifier" "${traces[@]}" >"$work/section-order.txt"
mv "$work/section-order.txt" src/verifier/section-order.txt
echo "src/verifier/section-order.txt: $(grep -vc '^#' src/verifier/section-order.txt) names"
