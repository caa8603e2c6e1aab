#!/bin/sh
# The one place that knows where Wine lives. Debian's wine64 package installs
# its programs in /usr/lib/wine and puts nothing on the PATH (only the `wine`
# package adds wrappers), so everything that runs Wine comes through here.
#   scripts/wine-run.sh PROGRAM.exe [ARG...]   runs a Windows program, quietly
#   scripts/wine-run.sh --server [ARG...]      runs the wineserver (-p, -w, -k)
# The caller may set WINEPREFIX; otherwise a prefix under the user's cache
# folder is used. Start a persistent `--server -p` around a run of many tests
# (scripts/test.sh does).
wine_dir=/usr/lib/wine
: "${WINEPREFIX:=${XDG_CACHE_HOME:-$HOME/.cache}/orvel-wine}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ "${1:-}" = "--server" ]; then
  shift
  exec "$wine_dir/wineserver" "$@"
fi
# Address space layout randomization off: Wine (built without its preloader)
# needs the fixed address of the shared user data free, and a randomly placed
# heap (brk) takes it now and then; the process then ends at once, exit status 1,
# saying nothing (WINEDEBUG=-all hides "failed to map the shared user data").
exec setarch "$(uname -m)" -R "$wine_dir/wine64" "$@"
