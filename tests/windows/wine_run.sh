#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in the project's own Wine prefix (made by
# tools/wine-prefix.sh), with Wine's own messages off.
export WINEPREFIX=${WIRELAB_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/wirelab-windows/wine}
export WINEDEBUG=-all
# A Wine server that outlives the program, with no hold on the caller's output: one that wine
# started itself would keep a reader of that output (ctest) waiting until it ends. It does
# nothing when a server is already running.
wineserver -p >/dev/null 2>&1 </dev/null
# Wine's own background programs (services.exe and the rest) start with the first program
# run for a server, and keep that program's output open for as long as they run: start them
# here, holding nothing of the caller's.
if ! pgrep -u "$(id -u)" -f 'services\.exe' >/dev/null; then
  wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
fi
exec wine "$@"
