#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in the project's own Wine prefix (made by
# tools/wine-prefix.sh), with Wine's own messages off.
export WINEPREFIX=${WIRELAB_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/wirelab-windows/wine}
export WINEDEBUG=-all
exec wine "$@"
