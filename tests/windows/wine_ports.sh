#!/usr/bin/env bash
# Points Wine's COM names at device paths (an empty path removes the name) and restarts the
# Wine server, which reads them at start:
#
#   wine_ports.sh COM1=/tmp/x/com1 COM2=
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
for mapping in "$@"; do
  name=${mapping%%=*}
  path=${mapping#*=}
  if [ -n "$path" ]; then
    "$here/wine_run.sh" reg add 'HKLM\Software\Wine\Ports' /v "$name" /t REG_SZ /d "$path" /f >/dev/null 2>&1
  else
    "$here/wine_run.sh" reg delete 'HKLM\Software\Wine\Ports' /v "$name" /f >/dev/null 2>&1 || true
  fi
done
WINEPREFIX=${WIRELAB_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/wirelab-windows/wine} wineserver -k 2>/dev/null || true
