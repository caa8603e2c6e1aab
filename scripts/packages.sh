# Sourced by the scripts: makes sure the Debian packages the build needs are
# installed. As root it installs what is missing; otherwise it prints the
# exact apt-get line and stops. `orvel_ensure_packages NAME...` does the same
# for other packages than the build's.
ORVEL_PACKAGES="cmake make ninja-build g++ python3 python3-pytest python3-jsonschema python3-pyte nlohmann-json3-dev libfmt-dev googletest libgtest-dev
libbenchmark-dev mingw-w64 g++-mingw-w64-x86-64-posix wine64 clang libclang-rt-14-dev chromium python3-html5lib"

orvel_missing_packages() {
  local missing="" package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing="$missing $package"
    fi
  done
  echo "$missing"
}

orvel_ensure_packages() {
  local missing
  # shellcheck disable=SC2086
  [ $# -gt 0 ] || set -- $ORVEL_PACKAGES
  missing=$(orvel_missing_packages "$@")
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages. Install them as root, then run this again:"
    echo "  apt-get install -y$missing"
    exit 1
  fi
  echo "Installing Debian packages:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
}

# Wine's programs are run through scripts/wine-run.sh, which knows where they are.
orvel_wine_run() {
  echo "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-run.sh"
}

# A Wine prefix of our own and one persistent wineserver for the whole run:
# without it every Windows process waits about 2 s for its wineserver to quit.
orvel_start_wine() {
  local wine_run
  wine_run="$(orvel_wine_run)"
  export WINEPREFIX="${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/orvel-wine}"
  export WINEDEBUG=-all
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX (once)"
    "$wine_run" wineboot --init >/dev/null 2>&1 || true
    "$wine_run" --server -w  # let the server of the first start end before starting ours
  fi
  # Fails harmlessly when a persistent server of this prefix already runs.
  "$wine_run" --server -p 2>/dev/null || true
  # Start Wine's own services now, with their output on /dev/null: started by
  # the first test instead, they would inherit its output pipe and keep it open
  # for as long as the persistent server lives, and the test would never end.
  "$wine_run" wineboot >/dev/null 2>&1 </dev/null || true
}

orvel_stop_wine() {
  "$(orvel_wine_run)" --server -k 2>/dev/null || true
}
