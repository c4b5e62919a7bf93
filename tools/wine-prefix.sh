#!/usr/bin/env bash
# Makes the project's Wine prefix once (64-bit, reporting Windows 10) and keeps a Wine server
# running for it, so that each Windows program starts in a tenth of a second.
set -euo pipefail
export WINEPREFIX=${WIRELAB_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/wirelab-windows/wine}
export WINEDEBUG=-all WINEARCH=win64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  winecfg -v win10 >/dev/null 2>&1 || true
  wineserver -w
fi
# Its output goes nowhere, or whoever reads it would wait for the server to end; and Wine's
# background programs start now, holding no caller's output.
wineserver -p >/dev/null 2>&1 </dev/null &
wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
