#!/bin/sh
# Runs a Windows executable under Wine, quietly. The caller may set WINEPREFIX;
# otherwise a prefix under the user's cache folder is used. Start a persistent
# `wineserver -p` around a run of many tests (scripts/test.sh does).
: "${WINEPREFIX:=${XDG_CACHE_HOME:-$HOME/.cache}/orvel-wine}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec /usr/lib/wine/wine64 "$@"
