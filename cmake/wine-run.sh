#!/bin/sh
# Runs a Windows executable under Wine, quietly. The caller may set WINEPREFIX;
# otherwise a prefix under the user's cache folder is used. Start a persistent
# `wineserver -p` around a run of many tests (scripts/test.sh does).
: "${WINEPREFIX:=${XDG_CACHE_HOME:-$HOME/.cache}/orvel-wine}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Address space layout randomization off: Wine (built without its preloader)
# needs the fixed address of the shared user data free, and a randomly placed
# heap (brk) takes it now and then; the process then ends at once, exit status 1,
# saying nothing (WINEDEBUG=-all hides "failed to map the shared user data").
exec setarch "$(uname -m)" -R /usr/lib/wine/wine64 "$@"
